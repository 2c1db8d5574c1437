#!/usr/bin/python3
# Reads a JUnit file with junitparser, a reader independent of ours, and checks each suite's
# counts, as its cases show them and as its attributes state them:
#   junit_counts.py FILE "SUITE:TESTS:FAILURES:ERRORS:SKIPPED"...
# Debian's own python3: python3-junitparser is installed for it.
import sys
from junitparser import Error, Failure, JUnitXml, Skipped

path, expected = sys.argv[1], sys.argv[2:]
found = []
for suite in JUnitXml.fromfile(path):
    results = [type(r) for case in suite for r in case.result]
    cases = [len(list(suite)), *(results.count(kind) for kind in (Failure, Error, Skipped))]
    stated = [suite.tests, suite.failures, suite.errors, suite.skipped]
    if cases != stated:
        sys.exit(f"{path}: suite {suite.name} states {stated}, its cases show {cases}")
    found.append(":".join([suite.name, *map(str, cases)]))
if found != expected:
    sys.exit(f"{path}: suites {found}, expected {expected}")
