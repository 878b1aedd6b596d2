"""Signs Falwick.EXE and falwick-info.exe as `scripts/release --sign` does (release/sign)
with a throwaway code-signing certificate, packs a release of them, and checks that:
each program in the zip verifies against the certificate's CA, was signed with SHA-256,
and is the unsigned program again once its signature is removed; SHA256SUMS covers the
signed bytes; a changed byte, an unrelated CA, a wrong password and an EC key fail; and the signed
Falwick.EXE runs an explicit check under Wine against a local server, ending with the
download page opened in the (fake) browser. No network: no time-stamp server.

Usage: python3 check_signed.py SOURCE_DIR FALWICK_EXE FALWICK_INFO_EXE BROWSER_RECORDER
                               WINDOWS_BUILD_DIR WORK_DIR"""

import hashlib
import shutil
import subprocess
import sys
import zipfile
from pathlib import Path


def run(*command, check=True):
    return subprocess.run([str(part) for part in command], check=check,
                          capture_output=True, text=True)


def make_certificates(work):
    """A CA, a code-signing certificate it issued (in maker.pfx, password in pass.txt),
    and an unrelated CA."""
    for ca in ("ca", "other-ca"):
        run("openssl", "req", "-x509", "-newkey", "rsa:2048", "-nodes", "-days", "2",
            "-keyout", work / (ca + ".key"), "-out", work / (ca + ".crt"),
            "-subj", "/CN=Falwick test " + ca, "-addext", "basicConstraints=critical,CA:TRUE",
            "-addext", "keyUsage=critical,keyCertSign")
    (work / "leaf.ext").write_text("basicConstraints=CA:FALSE\nkeyUsage=critical,"
                                   "digitalSignature\nextendedKeyUsage=codeSigning\n")
    run("openssl", "req", "-newkey", "rsa:2048", "-nodes", "-keyout", work / "leaf.key",
        "-out", work / "leaf.csr", "-subj", "/CN=Falwick test maker")
    run("openssl", "x509", "-req", "-in", work / "leaf.csr", "-CA", work / "ca.crt",
        "-CAkey", work / "ca.key", "-CAcreateserial", "-days", "2",
        "-extfile", work / "leaf.ext", "-out", work / "leaf.crt")
    (work / "pass.txt").write_text("not a secret\n")
    run("openssl", "pkcs12", "-export", "-inkey", work / "leaf.key", "-in", work / "leaf.crt",
        "-certfile", work / "ca.crt", "-passout", "file:%s" % (work / "pass.txt"),
        "-out", work / "maker.pfx")


def verifies(exe, ca):
    return run("osslsigncode", "verify", "-in", exe, "-CAfile", ca, check=False)


def flipped(data, offset):
    data = bytearray(data)
    data[offset] ^= 0x01
    return bytes(data)


def check_signatures(work, programs, folder, archive):
    sums = (archive.parent / "SHA256SUMS").read_text().splitlines()
    with zipfile.ZipFile(archive) as zip_file:
        for program in programs:
            signed = zip_file.read("%s/%s" % (folder, program.name))
            assert signed != program.read_bytes(), program.name
            assert "%s  %s/%s" % (hashlib.sha256(signed).hexdigest(), folder,
                                  program.name) in sums
            copy = work / ("signed-" + program.name)
            copy.write_bytes(signed)
            result = verifies(copy, work / "ca.crt")
            assert result.returncode == 0, result.stdout + result.stderr
            assert "Message digest algorithm  : SHA256" in result.stdout
            assert "Subject: /CN=Falwick test maker" in result.stdout
            unsigned = work / ("unsigned-" + program.name)
            run("osslsigncode", "remove-signature", "-in", copy, "-out", unsigned)
            assert unsigned.read_bytes() == program.read_bytes(), program.name

    # What must not verify: a byte changed in the program or in its signature (the
    # signature value ends the file but for at most 7 bytes of padding), or a CA that
    # did not issue the certificate.
    signed = (work / "signed-Falwick.EXE").read_bytes()
    cases = [
        ("program byte", flipped(signed, len(signed) // 3), "ca.crt"),
        ("signature byte", flipped(signed, len(signed) - 100), "ca.crt"),
        ("unrelated CA", signed, "other-ca.crt"),
    ]
    for what, data, ca in cases:
        bad = work / "bad.EXE"
        bad.write_bytes(data)
        assert verifies(bad, work / ca).returncode != 0, what


def make_ec_certificate(work):
    """A code-signing certificate with an EC key from the same CA, in ec.pfx."""
    run("openssl", "req", "-newkey", "ec", "-pkeyopt", "ec_paramgen_curve:prime256v1",
        "-nodes", "-keyout", work / "ec.key", "-out", work / "ec.csr",
        "-subj", "/CN=Falwick test maker EC")
    run("openssl", "x509", "-req", "-in", work / "ec.csr", "-CA", work / "ca.crt",
        "-CAkey", work / "ca.key", "-CAcreateserial", "-days", "2",
        "-extfile", work / "leaf.ext", "-out", work / "ec.crt")
    run("openssl", "pkcs12", "-export", "-inkey", work / "ec.key", "-in", work / "ec.crt",
        "-certfile", work / "ca.crt", "-passout", "file:%s" % (work / "pass.txt"),
        "-out", work / "ec.pfx")


def check_refusals(source, work, exe):
    """A wrong password, an unreadable .pfx or a key that is not RSA signs nothing and
    writes nothing; the EC key is refused with its reason."""
    (work / "wrong.txt").write_text("wrong\n")
    make_ec_certificate(work)
    ec = ["--password-file", work / "pass.txt", work / "ec.pfx"]
    for options in (["--password-file", work / "wrong.txt", work / "maker.pfx"],
                    [work / "maker.pfx"], [work / "missing.pfx"], ec):
        result = run(source / "release" / "sign", *options, work / "refused", exe, check=False)
        assert result.returncode == 1, (options, result.stderr)
        assert not (work / "refused").exists()
        if options is ec:
            assert "is id-ecPublicKey, not RSA" in result.stderr, result.stderr
            assert "Smart App Control" in result.stderr, result.stderr


def check_runs_under_wine(source, exe, recorder, build_dir, work):
    sys.path.insert(0, str(source))
    from harness import sample
    from harness.falwick import ProgramDirectory
    from harness.prepare import prefix_copy
    from harness.runs import Case, Runner
    from harness.server import LocalServer
    from harness.wine import Wine

    program = ProgramDirectory(work / "Program Files" / "Writer", exe)
    wine = Wine(prefix_copy(build_dir, work / "prefix"))
    try:
        wine.use_browser(recorder)
        with LocalServer() as server:
            server.serve("/info.txt", sample.NOT_NEWER)
            case = Case(program=program, server=server, mode="PX",
                        overrides={"product": sample.PRODUCT})
            outcome = Runner(wine, work / "runs", exe).run("signed", case, actions=None)
            requests = [(r.path, r.user_agent) for r in server.requests]
        launches = outcome.browser
    finally:
        wine.close()
    assert outcome.exit_code == 0
    assert requests == [("/info.txt", "Orvanel Program Update")], requests
    assert launches == [sample.DEFAULTS["download_url"]]
    assert sorted(program.files()) == ["Falwick.EXE"]


def main():
    source, exe, info_exe, recorder, build_dir, work = (Path(a).resolve() for a in sys.argv[1:7])
    shutil.rmtree(work, ignore_errors=True)
    work.mkdir(parents=True)
    make_certificates(work)
    programs = [exe, info_exe]

    run(source / "release" / "sign", "--password-file", work / "pass.txt", work / "maker.pfx",
        work / "signed", *programs)
    signed = [work / "signed" / program.name for program in programs]
    run("/usr/bin/python3", source / "release" / "package.py", source, *signed, work / "dist")
    archive = next((work / "dist").glob("*.zip"))
    folder = archive.name[:-len(".zip")]

    check_signatures(work, programs, folder, archive)
    check_refusals(source, work, exe)
    check_runs_under_wine(source, signed[0], recorder, build_dir, work)
    print("release.signed: %s signed, verified and run under Wine" % archive.name)
    shutil.rmtree(work, ignore_errors=True)


if __name__ == "__main__":
    main()
