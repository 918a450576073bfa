#!/usr/bin/env python3
"""Runs call_transcript.exe of the 32-bit and of the 64-bit build under Wine and compares
their transcripts byte for byte. The two DLLs must give the same result for every call;
the first difference is shown with the call that made it."""
import argparse
import pathlib
import subprocess
import sys

EXPORTS = ("appendXMLChild", "createBlankXML", "getDouble1DArray", "getDouble2DArray",
           "getDoubleArrayColumns", "getDoubleArrayRows", "getDoubleValue", "getIntegerValue",
           "getStringValue")


def windows_path(path):
    # Wine's drive Z: is the Unix root.
    return "Z:" + str(pathlib.Path(path).resolve()).replace("/", "\\")


def transcript(bitness, runner, program, out_dir, corpus):
    if not pathlib.Path(program).exists():
        sys.exit(f"{program} is missing: build the {bitness} preset first")
    output = pathlib.Path(out_dir) / f"transcript_{bitness}.txt"
    output.unlink(missing_ok=True)
    command = [runner, program, windows_path(output)] + [windows_path(f) for f in corpus]
    run = subprocess.run(command, capture_output=True, text=True, errors="replace")
    if run.returncode != 0:
        sys.exit(f"{bitness} transcript failed (exit {run.returncode}):\n{run.stdout}{run.stderr}")
    return output.read_bytes().split(b"\n")


def main():
    parser = argparse.ArgumentParser()
    parser.add_argument("--x86", nargs=2, metavar=("RUNNER", "PROGRAM"), required=True)
    parser.add_argument("--x64", nargs=2, metavar=("RUNNER", "PROGRAM"), required=True)
    parser.add_argument("--out", required=True)
    parser.add_argument("--corpus", required=True)
    parser.add_argument("--minimum-calls", type=int, default=2000)
    args = parser.parse_args()

    corpus = sorted(p for p in pathlib.Path(args.corpus).iterdir() if p.is_file())
    x86 = transcript("win32", *args.x86, args.out, corpus)
    x64 = transcript("win64", *args.x64, args.out, corpus)

    failures = []
    for number, (a, b) in enumerate(zip(x86, x64), start=1):
        if a != b:
            call = a.split(b" = ", 1)[0].decode(errors="replace")
            failures.append(f"call {number} differs: {call}\n"
                            f"  32-bit: {a.decode(errors='replace')}\n"
                            f"  64-bit: {b.decode(errors='replace')}")
    if len(x86) != len(x64):
        failures.append(f"the transcripts have {len(x86)} and {len(x64)} lines")
    calls = len([line for line in x64 if line])
    if calls < args.minimum_calls:
        failures.append(f"only {calls} calls were compared, fewer than {args.minimum_calls}")
    text = b"\n".join(x64)
    for name in EXPORTS:
        if name.encode() not in text:
            failures.append(f"no call of {name} in the table")
    if failures:
        print(f"{len(failures)} difference(s); the first ones:")
        print("\n".join(failures[:10]))
        return 1
    print(f"{calls} calls through the 32-bit and the 64-bit pelzor.dll: identical results")
    return 0


if __name__ == "__main__":
    sys.exit(main())
