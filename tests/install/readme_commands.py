#!/usr/bin/env python3
# SPDX-FileCopyrightText: 2026 Tollwick developers
# SPDX-License-Identifier: MIT
# Checks that every command in the shell blocks of the READMEs and HACKING.md names a script,
# a built target, a test label, an installed file or an option that exists, and that every
# file they link to is in the source tree: a command that a reader copies must work.
# Usage: readme_commands.py SOURCE_FOLDER BUILD_FOLDER STAGED_ROOT (the tree installed to /)
import os
import re
import shlex
import subprocess
import sys

source, build, staged = sys.argv[1:4]
documents = ["README.md", "README.ja.md", "HACKING.md"]
problems = []


def labels():
    out = subprocess.run(["ctest", "--print-labels"], cwd=build, capture_output=True, text=True)
    return {line.strip() for line in out.stdout.splitlines()[1:] if line.strip()}


def categories():
    found = set()
    for top, _, files in os.walk(source):
        if "/build" in top or "/.git" in top:
            continue
        for name in files:
            if name.endswith(".cpp"):
                with open(os.path.join(top, name), encoding="utf-8", errors="replace") as f:
                    found.update(re.findall(r'Q_LOGGING_CATEGORY\(\w+,\s*"([^"]+)"', f.read()))
    return found


known_labels = labels()
known_categories = categories()


def check_word(words, where):
    """One simple command, its environment assignments already taken off."""
    program, args = words[0], words[1:]
    if program == "sudo":
        return check_word(args, where)
    if program.startswith(("./scripts/", "scripts/", "bench/", "./bench/")):
        path = os.path.join(source, program)
        return os.access(path, os.X_OK) or f"{program}: no such script"
    if program.startswith("build/"):
        path = os.path.join(build, program[len("build/"):])
        return os.access(path, os.X_OK) or f"{program}: not built"
    if program == "tollwick":
        return os.access(os.path.join(staged, "usr/bin/tollwick"), os.X_OK) or "tollwick not installed"
    if program == "cd":
        return args == ["build"] or f"cd {' '.join(args)}: only 'cd build' is known"
    if program == "ctest":
        if "-L" in args:
            label = args[args.index("-L") + 1]
            return label in known_labels or f"ctest -L {label}: no such label"
        return True
    if program == "cpack":
        generator = args[args.index("-G") + 1] if "-G" in args else ""
        out = subprocess.run(["cpack", "--help"], capture_output=True, text=True).stdout
        return re.search(rf"^\s*{re.escape(generator)}\s*=", out, re.M) is not None or \
            f"cpack -G {generator}: no such generator"
    if program == "cmake":
        return args[:1] in (["--install"], ["--build"]) or args[0].startswith("--graphviz=") or \
            f"cmake {' '.join(args)}: not a use the project knows"
    if program in ("apt", "apt-get"):
        return args[:1] == ["install"] or f"{program} {' '.join(args)}"
    if program == "mkdir":
        return True
    if program == "cp":
        # An installed file, as the package puts it.
        installed = [a for a in args if a.startswith("/usr/")]
        return all(os.path.exists(os.path.join(staged, a[1:])) for a in installed) and \
            bool(installed) or f"cp {' '.join(args)}: names no installed file"
    return f"{program}: not a command the project knows"


def check_command(line, where):
    line = line.split("#", 1)[0].strip()
    if not line:
        return
    for part in re.split(r"&&|\|\||;|\|", line):
        try:
            words = shlex.split(part)
        except ValueError as error:
            problems.append(f"{where}: {part}: {error}")
            continue
        environment = {}
        while words and re.match(r"^[A-Z_]+=", words[0]):
            name, value = words.pop(0).split("=", 1)
            environment[name] = value
        rules = environment.get("QT_LOGGING_RULES")
        if rules:
            for rule in rules.split(";"):
                category = rule.split("=")[0].rsplit(".", 1)[0]
                if category not in known_categories:
                    problems.append(f"{where}: no logging category {category}")
        if not words:
            continue
        verdict = check_word(words, where)
        if verdict is not True:
            problems.append(f"{where}: {verdict}")


for document in documents:
    path = os.path.join(source, document)
    if not os.path.exists(path):
        problems.append(f"{document} is missing")
        continue
    with open(path, encoding="utf-8") as f:
        text = f.read()
    for link in re.findall(r"\]\(([^)#:]+)\)", text):
        if not os.path.exists(os.path.join(source, link)):
            problems.append(f"{document}: links to {link}, which is not there")
    for number, block in enumerate(re.findall(r"```sh\n(.*?)```", text, re.S), 1):
        for line in block.splitlines():
            check_command(line, f"{document}, block {number}")

for problem in problems:
    print(problem)
sys.exit(1 if problems else 0)
