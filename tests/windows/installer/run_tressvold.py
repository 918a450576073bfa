#!/usr/bin/env python3
"""Runs Tressvold.exe under Wine for one named case and checks its console output, its
exit status and, for the automation cases, the stand-in spreadsheet server's log of the
calls it received and of the objects still alive at the end."""

import argparse
import os
import shutil
import subprocess
import sys
from pathlib import Path

SKIP = 77

USAGE = (
    "\nThis utility adds Excel Addins from *.xla file\n"
    "Usage:\n"
    "Tressvold                       - Displays this text\n"
    "Tressvold ?                     - Displays this text\n"
    "Tressvold help                  - Displays this text\n"
    "Tressvold Path to *.xla File    - Add to Excel given Addin \n"
    "Tressvold Path to *.xla File 1  - Add to Excel given Addin \n"
    "Tressvold Path to *.xla File 0  - Remove from Excel given Addin\n"
    "Note: FilePath must be full, for example c:\\Temp\\Test.xla \n"
    "Press enter to exit...\n"
)
ANNOUNCEMENT = "Addition the add-in component 'Razir1' to Excel. \n"
NO_APPLICATION = "Excel isn't installed or can't run!\n"
MISSING = "VT_ERROR:80020004"
SOURCE = "Stand-in spreadsheet"
# Wine 8's system messages: none for E_POINTER, CR LF-terminated texts for E_FAIL and
# E_ACCESSDENIED (printed without their line end).
POINTER_MESSAGE = "Unknown error 0x80004003"


def report(code, message, description=None, source=None):
    return (
        "_com_error:\n"
        f"Error       : {code}\n"
        f"ErrorMessage: {message}\n"
        f"Description : {description if description is not None else '(null)'}\n"
        f"Source      : {source if source is not None else '(null)'}\n"
    )


def described(member):
    return f"Stand-in failure of {member}"


def invoke_line(obj, member, flags, args, named="", result=True):
    return (
        f"call {obj}.{member} flags={flags} riid=IID_NULL lcid=0 args=[{args}] named=[{named}] "
        f"result={'yes' if result else 'no'} excepinfo=yes argerr=yes"
    )


def success_calls(file_text, name, flag):
    """The server's log of a whole successful run, as far as the log keeps calls, object
    creation and object release."""
    return [
        "create Application#1",
        "call Application#1.Workbooks",
        "create Workbooks#1",
        f"call Workbooks#1.Add Template={MISSING} lcid=0",
        "create Workbook#1",
        "free Workbook#1",
        "free Workbooks#1",
        "call Application#1.AddIns",
        "create AddIns#1",
        invoke_line("AddIns#1", "Add", "METHOD", f'{MISSING}, VT_BSTR:"{file_text}"'),
        "create AddIn#1",
        "free AddIn#1",
        invoke_line("AddIns#1", "Item", "PROPERTYGET", f'VT_BSTR:"{name}"'),
        "create AddIn#2",
        invoke_line("AddIn#2", "Installed", "PROPERTYPUT", f"VT_BOOL:{flag}", "-3", False),
        "free AddIn#2",
        "free AddIns#1",
        "call Application#1.Quit",
        "free Application#1",
        "detach alive=(none)",
    ]


def calls_until(calls, prefix):
    """The successful run's log up to and including the first line starting with prefix."""
    for index, line in enumerate(calls):
        if line.startswith(prefix):
            return calls[: index + 1]
    raise ValueError(prefix)


class Case:
    def __init__(self, arguments, output, stdin="", registered=False, failure=None,
                 expected_log=None, prepare=None):
        self.arguments = arguments
        self.output = output
        self.stdin = stdin
        self.registered = registered
        self.failure = failure
        self.expected_log = expected_log
        self.prepare = prepare


def build_cases(work):
    test_file = work / "Add ins" / "Test.xla"
    full = windows_path(test_file)
    ok = success_calls(full, "Test", -1)
    removal = success_calls(full, "Test", 0)

    def failing(member_prefix, then):
        return calls_until(ok, member_prefix) + then + ["detach alive=(none)"]

    # Short enough to be an argument, too long once resolved against the working directory.
    long_argument = "y" * 230 + ".xla"
    return {
        # Console behaviour without any spreadsheet application.
        "usage": Case([], USAGE, stdin="\n"),
        "help_ignores_second_argument": Case(["help", "0"], USAGE, stdin="\n"),
        "missing_file": Case(["nofile.xla"], ANNOUNCEMENT + "File nofile.xla is not exist!"),
        "path_too_long": Case(
            [long_argument],
            ANNOUNCEMENT + f"The full path of {long_argument} is too long: "
            "at most 259 characters are possible.\n"),
        "existing_directory": Case(
            [windows_path(work / "Set.old")], ANNOUNCEMENT + NO_APPLICATION, stdin="\n",
            prepare=lambda: (work / "Set.old").mkdir()),
        "no_application": Case([full], ANNOUNCEMENT + NO_APPLICATION, stdin="\n"),
        # Automation against the stand-in server.
        "addition": Case([full], ANNOUNCEMENT + f"Addition of {full} is success\n",
                         registered=True, expected_log=ok),
        # Relative path, resolved against the working directory; removal prints the name.
        "removal": Case(["Add ins\\Test.xla", "0"],
                        ANNOUNCEMENT + "Disconnection of Test is success\n",
                        registered=True, expected_log=removal),
        "workbooks_error_info": Case(
            [full], ANNOUNCEMENT + report("800A03EC", "Unknown error 0x800A03EC",
                                          described("Application.Workbooks"), SOURCE),
            stdin="\n", registered=True,
            failure=("Application.Workbooks", "errorinfo:800A03EC"),
            expected_log=failing("call Application#1.Workbooks", [
                "call Application#1.InterfaceSupportsErrorInfo _Application",
                "free Application#1"])),
        "workbooks_no_object": Case(
            [full], ANNOUNCEMENT + report("80004003", POINTER_MESSAGE), stdin="\n",
            registered=True, failure=("Application.Workbooks", "no-object"),
            expected_log=failing("call Application#1.Workbooks", ["free Application#1"])),
        "workbook_add_plain_failure": Case(
            [full], ANNOUNCEMENT + report("80004005", "Call failed."), stdin="\n",
            registered=True, failure=("Workbooks.Add", "hresult:80004005"),
            expected_log=failing("call Workbooks#1.Add", [
                "call Workbooks#1.InterfaceSupportsErrorInfo Workbooks",
                "free Workbooks#1", "free Application#1"])),
        "addins_no_object": Case(
            [full], ANNOUNCEMENT + report("80004003", POINTER_MESSAGE), stdin="\n",
            registered=True, failure=("Application.AddIns", "no-object"),
            expected_log=failing("call Application#1.AddIns", ["free Application#1"])),
        "addins_add_wcode_deferred": Case(
            [full], ANNOUNCEMENT + report("800405E8", "IDispatch error #1000",
                                          described("AddIns.Add"), SOURCE),
            stdin="\n", registered=True, failure=("AddIns.Add", "deferred-wcode:1000"),
            expected_log=failing("call AddIns#1.Add", [
                "call deferred fill-in AddIns.Add", "free AddIns#1", "free Application#1"])),
        "item_scode": Case(
            [full], ANNOUNCEMENT + report("800A03EC", "Unknown error 0x800A03EC",
                                          described("AddIns.Item"), SOURCE),
            stdin="\n", registered=True, failure=("AddIns.Item", "scode:800A03EC"),
            expected_log=failing("call AddIns#1.Item", [
                "free AddIns#1", "free Application#1"])),
        "item_no_object": Case(
            [full], ANNOUNCEMENT + report("80004003", POINTER_MESSAGE), stdin="\n",
            registered=True, failure=("AddIns.Item", "no-object"),
            expected_log=failing("call AddIns#1.Item", [
                "free AddIns#1", "free Application#1"])),
        # A result that is not an object and cannot become one: the coercion's code.
        "item_empty_result": Case(
            [full], ANNOUNCEMENT + report("80020005", "Unknown error 0x80020005"), stdin="\n",
            registered=True, failure=("AddIns.Item", "empty-result"),
            expected_log=failing("call AddIns#1.Item", [
                "free AddIns#1", "free Application#1"])),
        "installed_wcode_fe00": Case(
            [full], ANNOUNCEMENT + report("8004FFFF", "IDispatch error #65023",
                                          described("AddIn.Installed"), SOURCE),
            stdin="\n", registered=True, failure=("AddIn.Installed", "wcode:65024"),
            expected_log=failing("call AddIn#2.Installed", [
                "free AddIn#2", "free AddIns#1", "free Application#1"])),
        "installed_plain_failure": Case(
            [full], ANNOUNCEMENT + report("80070005", "Access denied."), stdin="\n",
            registered=True, failure=("AddIn.Installed", "hresult:80070005"),
            expected_log=failing("call AddIn#2.Installed", [
                "free AddIn#2", "free AddIns#1", "free Application#1"])),
        "quit_error_info": Case(
            [full], ANNOUNCEMENT + report("800A03EC", "Unknown error 0x800A03EC",
                                          described("Application.Quit"), SOURCE),
            stdin="\n", registered=True, failure=("Application.Quit", "errorinfo:800A03EC"),
            expected_log=failing("call Application#1.Quit", [
                "call Application#1.InterfaceSupportsErrorInfo _Application",
                "free Application#1"])),
    }


def windows_path(path):
    """The path as the program sees it: Wine maps the host's root to drive Z:."""
    return "Z:" + str(path).replace("/", "\\")


def console_bytes(text):
    """The C runtime writes standard output in text mode: each line feed becomes CR LF."""
    return text.replace("\n", "\r\n").encode("latin-1")


def run(command, **options):
    return subprocess.run(command, capture_output=True, timeout=240, **options)


def set_registration(arguments, registered):
    command = [arguments.wine, arguments.register, windows_path(arguments.server)]
    if not registered:
        command.append("/u")
    outcome = run(command)
    if outcome.returncode != 0:
        sys.exit(f"registration failed: {outcome.stderr.decode(errors='replace')}")


def read_log(log):
    if not log.exists():
        return []
    return [line for line in log.read_text(encoding="utf-8").splitlines()
            if line.startswith(("create ", "call ", "free ", "detach "))]


def main():
    parser = argparse.ArgumentParser()
    for option in ("--case", "--wine", "--program", "--server", "--register", "--work-dir"):
        parser.add_argument(option, required=True)
    arguments = parser.parse_args()

    work = Path(arguments.work_dir)
    shutil.rmtree(work, ignore_errors=True)
    (work / "Add ins").mkdir(parents=True)
    (work / "Add ins" / "Test.xla").write_bytes(b"stand-in add-in file")
    case = build_cases(work)[arguments.case]
    if case.prepare:
        case.prepare()

    probe = run([arguments.wine, arguments.program, "?"], input=b"\n")
    # The Wine runner exits with 77 itself where it knows it cannot run 32-bit programs.
    if probe.returncode in (SKIP, 126) or b"Exec format error" in probe.stderr:
        print("this host's Wine cannot run 32-bit programs:", probe.stderr.decode(errors="replace"))
        return SKIP

    log = work / "standin.log"
    environment = dict(os.environ, TRESSVOLD_STANDIN_LOG=windows_path(log))
    if case.failure:
        environment["TRESSVOLD_STANDIN_FAIL"], environment["TRESSVOLD_STANDIN_FAILURE"] = \
            case.failure
    set_registration(arguments, case.registered)
    try:
        outcome = run([arguments.wine, arguments.program] + case.arguments,
                      input=case.stdin.encode(), env=environment, cwd=work)
    finally:
        if case.registered:
            set_registration(arguments, False)

    failures = []
    if outcome.returncode != 0:
        failures.append(f"exit status {outcome.returncode}, expected 0")
    if outcome.stdout != console_bytes(case.output):
        failures.append(f"console output\n  got:      {outcome.stdout!r}\n"
                        f"  expected: {console_bytes(case.output)!r}")
    calls = read_log(log)
    expected_log = case.expected_log if case.expected_log is not None else []
    if calls != expected_log:
        failures.append("server log\n  got:\n    " + "\n    ".join(calls) +
                        "\n  expected:\n    " + "\n    ".join(expected_log))
    if failures:
        print(f"case {arguments.case} failed:")
        print("\n".join(failures))
        print("stderr:", outcome.stderr.decode(errors="replace"))
        return 1
    print(f"case {arguments.case} passed")
    return 0


if __name__ == "__main__":
    sys.exit(main())
