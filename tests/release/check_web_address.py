"""The maker's web address as a build setting (cmake/web_address.cmake): an address that
cannot fit one line of the notice, or holds a character the resource script or the dialog
would change, is refused with its reason; the longest that fits builds a Falwick.EXE
within the size limit whose notice resource holds the sentence with that address.

Usage: python3 check_web_address.py SOURCE_DIR WORK_DIR SIZE_LIMIT"""

import re
import shutil
import subprocess
import sys
from pathlib import Path


def configure_check(source, address):
    return subprocess.run(["cmake", "-DFALWICK_WEB_ADDRESS=" + address, "-P",
                           str(source / "cmake" / "web_address.cmake")],
                          capture_output=True, text=True)


def main():
    source, work, limit = Path(sys.argv[1]), Path(sys.argv[2]), sys.argv[3]
    header = (source / "tools" / "info" / "file" / "info_check.h").read_text()
    longest = int(re.search(r"kNoticeLineCharacters = (\d+);", header).group(1)) - 1
    address = "www.a-maker-with-a-long-name.example/downloads/"
    address += "x" * (longest - len(address))

    refused = {
        "": "is empty",
        address + "x": "has %d characters" % (longest + 1),
        'www."orvanel".example': "holds a character",
        "www.orvanel.example\\": "holds a character",
        "www.ørvanel.example": "holds a character",
        "www.r&d.example": "holds a character",
        "www.orvanel.example/100%": "holds a character",
        "www.orvanel.example or www.orvanel.test": "holds a character",
    }
    for bad, reason in refused.items():
        result = configure_check(source, bad)
        assert result.returncode != 0 and reason in " ".join(result.stderr.split()), \
            (bad, result.stderr)
    result = configure_check(source, address)
    assert result.returncode == 0, result.stderr

    shutil.rmtree(work, ignore_errors=True)
    subprocess.run(["cmake", "--preset", "windows", "-S", str(source), "-B", str(work),
                    "-DFALWICK_WEB_ADDRESS=" + address], check=True, stdout=subprocess.DEVNULL)
    subprocess.run(["cmake", "--build", str(work), "--target", "Falwick", "-j2"], check=True,
                   stdout=subprocess.DEVNULL)
    exe = work / "Falwick.EXE"
    subprocess.run(["cmake", "-DFILE=%s" % exe, "-DLIMIT=" + limit, "-P",
                    str(source / "tests" / "release" / "check_size.cmake")], check=True)
    sentence = "%s Version %s is now available for download from " + address + "!"
    assert sentence.encode("utf-16-le") in exe.read_bytes(), "no sentence with the address"
    print("release.web_address: %d refused; %s with a %d-character address, %d bytes"
          % (len(refused), exe.name, len(address), exe.stat().st_size))
    shutil.rmtree(work, ignore_errors=True)


if __name__ == "__main__":
    main()
