"""What a Windows user gets: the program file's header, imports, version and manifest, and the
ZIP it comes in. Reads the files; runs nothing under Wine.

    windows_package.py EXE OBJDUMP BUILD_DIR VERSION ARCH
"""
import re
import subprocess
import sys
import tempfile
import zipfile

failures = []


def check(condition, what):
    print(("ok: " if condition else "FAIL: ") + what)
    if not condition:
        failures.append(what)


def main():
    exe, objdump, build, version, arch = sys.argv[1:6]
    headers = subprocess.run([objdump, "-p", exe], capture_output=True, text=True).stdout
    fields = dict(re.findall(r"^(\w+)\s+(\S+)", headers, re.M))
    check(fields.get("MajorSubsystemVersion") == "6" and fields.get("MinorSubsystemVersion") == "1",
          "the program file asks for Windows 7 (subsystem %s.%s)" %
          (fields.get("MajorSubsystemVersion"), fields.get("MinorSubsystemVersion")))
    check(fields.get("Subsystem") == "00000002", "a Windows GUI program")
    machine = {"i686": "pei-i386", "x86_64": "pei-x86-64"}[arch]
    check(("file format " + machine) in headers, "for " + machine)
    imports = {name.lower() for name in re.findall(r"DLL Name: (\S+)", headers)}
    # advapi32 for the event log, where the program reports what no window shows.
    system = {"advapi32.dll", "comctl32.dll", "gdi32.dll", "kernel32.dll", "msvcrt.dll",
              "shell32.dll", "user32.dll"}
    check(imports <= system, "only the system's own DLLs: " + ", ".join(sorted(imports)))

    data = open(exe, "rb").read()
    key = "FileVersion\0".encode("utf-16-le")
    at = data.find(key)
    check(at >= 0 and version.encode("utf-16-le") in data[at:at + 64],
          "the version resource says " + version)
    manifest = re.search(rb"<assembly.*?</assembly>", data, re.S)
    check(manifest is not None, "a manifest")
    if manifest:
        text = manifest.group(0).decode("utf-8", "replace")
        check('version="%s.0"' % version in text, "the manifest says version " + version)
        check("PerMonitorV2" in text, "the manifest asks for per-monitor DPI awareness")
        check("Microsoft.Windows.Common-Controls" in text, "common controls 6")

    with tempfile.TemporaryDirectory() as out:
        subprocess.run(["cpack", "--config", build + "/CPackConfig.cmake", "-B", out],
                       capture_output=True, check=True)
        name = "tallimer-%s-windows-%s" % (version, arch)
        with zipfile.ZipFile("%s/%s.zip" % (out, name)) as package:
            names = set(package.namelist())
            check({name + "/tallimer.exe", name + "/README.txt"} <= names,
                  "the ZIP holds the program and README.txt: " + repr(sorted(names)))
            readme = package.read(name + "/README.txt")
            lines = readme.split(b"\r\n")
            check(len(lines) > 3 and not any(b"\n" in line or b"\r" in line for line in lines),
                  "README.txt has CR LF line ends, which every Notepad shows")
    print("%d failed" % len(failures))
    return 1 if failures else 0


sys.exit(main())
