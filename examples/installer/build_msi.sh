#!/bin/sh
# Builds the per-user MSI of writer.wxs with wixl, then adds what wixl's WiX subset
# cannot say: the RemoveFile rows that delete, on uninstall, the two files the product
# writes but does not ship (the user's settings file and Falwick's info file, which a
# check that was cut off leaves behind). WiX itself would take them as
# <RemoveFile Name="..." On="uninstall"/>; wixl 0.101 knows no such element.
#   build_msi.sh WXS OUTPUT MSI_VERSION HOST_EXE FALWICK_EXE HOST_INI
set -eu
wxs=$1 out=$2 version=$3 host=$4 falwick=$5 ini=$6
# wixl looks a Source up under the directory it runs in and takes no absolute path:
# the files are staged beside a copy of the script.
stage=$out.stage
rm -rf "$stage" && mkdir "$stage"
cp "$wxs" "$stage/writer.wxs" && cp "$host" "$stage/SampleHost.exe"
cp "$falwick" "$stage/Falwick.EXE" && cp "$ini" "$stage/SampleHost.ini"
(cd "$stage" && wixl -a x64 -D Version="$version" -D HostExe=SampleHost.exe \
  -D FalwickExe=Falwick.EXE -D HostIni=SampleHost.ini -o writer.msi writer.wxs)
mv "$stage/writer.msi" "$out.tmp"
rm -rf "$stage"
table=$(dirname "$out")/RemoveFile.$$.idt
msiinfo export "$out.tmp" RemoveFile > "$table"
# FileKey, Component_, FileName, DirProperty, InstallMode (2: on uninstall)
printf 'RemoveSettingsFile\tSettings\twriter.ini\tINSTALLDIR\t2\r\n' >> "$table"
printf 'RemoveInfoFile\tProgram\twriter-update.txt\tINSTALLDIR\t2\r\n' >> "$table"
msibuild "$out.tmp" -i "$table"
rm -f "$table"
mv "$out.tmp" "$out"
