"""The ground truth of bench/accuracy: every function definition and call
that clang's AST shows in a corpus, cached per corpus and clang version."""

import collections
import concurrent.futures
import hashlib
import json
import os
import re
import shutil
import subprocess
import sys
import tempfile
import time


ROOT = os.path.dirname(os.path.dirname(os.path.abspath(__file__)))
CACHE = os.path.join(os.environ.get("XDG_CACHE_HOME") or os.path.expanduser("~/.cache"),
                     "velmora", "accuracy")
TRUTH_FORMAT = 6  # bump when the truth's rules change, so caches are remade

CONFIGS = [
    ("PARSER=0", ""),
    ("+EXACT_NAMES", "EXACT_NAMES=1\n"),
    ("PARSER=1", "PARSER=1\n"),
]

FUNC_KINDS = {"FunctionDecl", "CXXMethodDecl", "CXXConstructorDecl", "CXXDestructorDecl",
              "CXXConversionDecl"}
SCOPE_KINDS = {"NamespaceDecl", "CXXRecordDecl", "ClassTemplateSpecializationDecl",
               "ClassTemplatePartialSpecializationDecl"}
BODY_KINDS = {"CompoundStmt", "CXXTryStmt"}
WRAPPERS = {"ImplicitCastExpr", "ParenExpr", "CXXBindTemporaryExpr", "MaterializeTemporaryExpr",
            "ExprWithCleanups"}



def note(text):
    print(text, file=sys.stderr, flush=True)


def need_package(name):
    if subprocess.run(["dpkg", "-s", name], capture_output=True).returncode == 0:
        return True
    note(f"accuracy: installing {name}")
    env = dict(os.environ, DEBIAN_FRONTEND="noninteractive")
    sudo = [] if os.geteuid() == 0 else ["sudo", "-n"]
    subprocess.run(sudo + ["apt-get", "update", "-qq"], env=env, capture_output=True)
    r = subprocess.run(sudo + ["apt-get", "install", "-y", "-qq", "--no-install-recommends", name],
                       env=env, capture_output=True, text=True)
    if r.returncode != 0:
        note(r.stderr.strip())
    return r.returncode == 0



# ---------------------------------------------------------------- the truth


class Location:
    """The dumper writes a location's file and line only when they change, so
    they are carried along in the order the dump is written."""

    def __init__(self):
        self.file = None
        self.line = None

    def bare(self, loc):
        if "file" in loc:
            self.file = os.path.normpath(loc["file"])
        if "line" in loc:
            self.line = loc["line"]
        loc["_file"] = self.file
        loc["_line"] = self.line

    def visit(self, value):
        """Resolves every location below value, in the dump's own order."""
        if isinstance(value, dict):
            if "offset" in value:
                self.bare(value)
            for key, v in value.items():
                if key != "includedFrom" and isinstance(v, (dict, list)):
                    self.visit(v)
        elif isinstance(value, list):
            for v in value:
                self.visit(v)

    FILE_RE = re.compile(r'^\s*"file": "((?:[^"\\]|\\.)*)"', re.M)
    LINE_RE = re.compile(r'^\s*"line": (\d+)', re.M)

    def skip(self, text):
        """Carries the state over an element that is not parsed."""
        last = None
        for m in self.FILE_RE.finditer(text):
            before = text.rfind("\n", 0, m.start() - 1)
            if '"includedFrom"' not in text[before:m.start()]:
                last = m
        if last:
            self.file = os.path.normpath(json.loads('"' + last.group(1) + '"'))
        lines = self.LINE_RE.findall(text)
        if lines:
            self.line = int(lines[-1])


def plain(loc):
    """(file, line, offset) of a location written in a file, or None when a
    macro's body wrote it (a macro argument counts as written)."""
    if not loc:
        return None
    if "spellingLoc" in loc:
        if not loc.get("expansionLoc", {}).get("isMacroArgExpansion"):
            return None
        loc = loc["spellingLoc"]
    if "offset" not in loc:
        return None
    return (loc.get("_file"), loc.get("_line"), loc["offset"])


class Unit:
    """What one translation unit's dump says about the corpus files."""

    def __init__(self, corpus_files):
        self.files = corpus_files
        self.defs = {}  # def key -> record
        self.decls = {}  # decl id -> (mangled name, def key or None)
        self.sites = []  # (site key, caller key, name, decl id or None, kind)
        self.bodies = {}  # def key -> (file, first, last offset) of its body
        self.macro_defs = set()
        self.macro_calls = set()
        self.seen_files = set()

    def walk(self, node, scope, caller, ids):
        if not isinstance(node, dict):
            return
        kind = node.get("kind")
        if node.get("isImplicit") and kind in FUNC_KINDS | SCOPE_KINDS:
            return
        loc = plain(node.get("loc"))
        if loc and loc[0] in self.files:
            self.seen_files.add(loc[0])
        if kind in SCOPE_KINDS:
            name = node.get("name")
            # A class defined outside its outer class (struct A::B {...})
            # sits in A, wherever it is written.
            if "parentDeclContextId" in node and node["parentDeclContextId"] in ids:
                scope = ids[node["parentDeclContextId"]]
            inner_scope = scope + [(kind == "NamespaceDecl", name)] if name else scope
            ids[node["id"]] = inner_scope
            for child in node.get("inner", []):
                self.walk(child, inner_scope, caller, ids)
            return
        if kind == "EnumDecl":
            return
        if kind in FUNC_KINDS:
            self.function(node, scope, caller, ids)
            return
        if caller and kind in ("CallExpr", "CXXMemberCallExpr"):
            self.call(node, caller)
        for child in node.get("inner", []):
            self.walk(child, scope, caller, ids)

    def function(self, node, scope, caller, ids):
        inner = node.get("inner", [])
        bodies = [c for c in inner if c.get("kind") in BODY_KINDS]
        key = None
        if bodies and not caller:
            where = plain(node.get("loc"))
            raw = node.get("loc", {})
            if where is None or "spellingLoc" in raw:
                spot = raw.get("expansionLoc", raw)
                if spot.get("_file") in self.files:
                    self.macro_defs.add((spot.get("_file"), spot.get("offset"), node.get("name")))
            elif where[0] in self.files:
                first = plain(bodies[0].get("range", {}).get("begin"))
                last = plain(bodies[0].get("range", {}).get("end"))
                span = node.get("range", {})
                begin, end = plain(span.get("begin")), plain(span.get("end"))
                misplaced = first and (first[0] != where[0] or first[2] < where[2])
                if first and (misplaced or (begin and end and begin[0] == where[0] == end[0]
                                            and not begin[2] <= where[2] <= end[2])):
                    # A member of a class template instantiated from a
                    # definition outside the class, or a function template
                    # declared before its definition: clang may name it at
                    # the declaration. It is the definition whose body
                    # starts where this one's does.
                    key = f"body:{first[0]}:{first[2]}"
                else:
                    key = f"{where[0]}:{where[2]}"
                    if "parentDeclContextId" in node:
                        scope = ids.get(node["parentDeclContextId"], scope)
                    names = [n for _, n in scope] + [node.get("name", "")]
                    classes = [n for is_ns, n in scope if not is_ns] + [node.get("name", "")]
                    self.defs.setdefault(key, {
                        "file": where[0], "line": where[1], "name": node.get("name", ""),
                        "qual": "::".join(names), "cqual": "::".join(classes),
                        "namespaces": [n for is_ns, n in scope if is_ns],
                        "body": f"body:{first[0]}:{first[2]}" if first else None})
                if first and last and first[0] == last[0]:
                    self.bodies.setdefault(key, (first[0], first[2], last[2]))
        if "id" in node:
            old = self.decls.get(node["id"])
            self.decls[node["id"]] = (node.get("mangledName"), key or (old[1] if old else None))
        if bodies:
            for child in inner:
                self.walk(child, scope, key or caller, ids)

    def call(self, node, caller):
        inner = node.get("inner", [])
        if not inner:
            return
        callee = inner[0]
        while callee.get("kind") in WRAPPERS and callee.get("inner"):
            callee = callee["inner"][0]
        ck = callee.get("kind")
        if ck == "DeclRefExpr":
            ref = callee.get("referencedDecl", {})
            name, decl = ref.get("name", ""), ref.get("id")
            how = "function" if ref.get("kind") in FUNC_KINDS else "indirect"
        elif ck == "MemberExpr":
            name, decl, how = callee.get("name", ""), callee.get("referencedMemberDecl"), "member"
        elif ck in ("UnresolvedLookupExpr", "UnresolvedMemberExpr"):
            name, decl, how = callee.get("name", ""), None, "dependent"
        elif ck == "CXXDependentScopeMemberExpr":
            name, decl, how = callee.get("member", ""), None, "dependent"
        else:
            return  # a call through an expression that names nothing
        end = callee.get("range", {}).get("end")
        site = plain(end)
        closing = plain(node.get("range", {}).get("end"))
        body = self.bodies.get(caller)
        # A macro's argument counts as written where it is spelled, but only
        # inside the caller's body: one spelled in another macro's definition
        # (a header's #define) is the macro's call, not one written here.
        outside = (site is not None and body is not None
                   and not (site[0] == body[0] and body[1] <= site[2] <= body[2]))
        if site is None or closing is None or outside:
            spot = (end or {}).get("expansionLoc", end or {})
            if spot.get("_file") in self.files:
                self.macro_calls.add((spot.get("_file"), spot.get("offset")))
            return
        if site[0] not in self.files:
            return
        self.sites.append((f"{site[0]}:{site[2]}", caller, name, decl, how, site[1]))

    def result(self):
        """Resolves the unit's call targets as far as the unit can; a target
        defined in another unit is left as its mangled name."""
        by_mangled = {}
        for mangled, key in self.decls.values():
            if mangled and key:
                by_mangled[mangled] = key
        sites = []
        for site, caller, name, decl, how, line in self.sites:
            target, mangled = None, None
            if how in ("function", "member") and decl in self.decls:
                mangled, target = self.decls[decl]
                target = target or by_mangled.get(mangled)
            elif how != "dependent":
                how = "indirect"  # a pointer, a field, or declared outside the corpus
            sites.append([site, caller, name, target, None if target else mangled, how, line])
        return {"defs": self.defs, "sites": sites, "mangled": by_mangled, "macro_defs": sorted(self.macro_defs),
                "macro_calls": sorted(self.macro_calls), "seen": sorted(self.seen_files)}


FILE_VALUE = re.compile(r'"file": "((?:[^"\\]|\\.)*)"')


def dump_unit(job):
    """Runs clang on one file and reads its dump element by element, parsing
    only the top-level declarations that touch a corpus file."""
    clang, path, flags, files = job
    files = set(files)
    unit = Unit(files)
    proc = subprocess.Popen([clang, "-Xclang", "-ast-dump=json", "-fsyntax-only", "-w"] + flags + [path],
                            stdout=subprocess.PIPE, stderr=subprocess.PIPE, text=True, bufsize=1 << 20)
    state = Location()
    ids = {}
    prefixes = tuple(sorted({os.path.dirname(f) + os.sep for f in files}))
    element = []
    for line in proc.stdout:
        if element:
            element.append(line)
            if line.startswith("    }"):
                text = "".join(element).rstrip().rstrip(",")
                element = []
                start_file = state.file
                if (start_file in files) or any(os.path.normpath(json.loads('"' + m + '"')).startswith(prefixes)
                                                for m in FILE_VALUE.findall(text)):
                    node = json.loads(text)
                    state.visit(node)
                    unit.walk(node, [], None, ids)
                else:
                    state.skip(text)
        elif line == "    {\n":
            element = [line]
    err = proc.stderr.read()
    proc.stdout.close()
    proc.stderr.close()
    proc.wait()
    errors = [l for l in err.splitlines() if ": error:" in l]
    out = unit.result()
    out["errors"] = errors[:5]
    out["error_count"] = len(errors)
    out["path"] = path
    return out


def active_lines(job):
    """The (file, line) pairs the preprocessor keeps for one file, to tell
    definitions in skipped branches from mistakes."""
    clang, path, flags, files = job
    files = set(files)
    r = subprocess.run([clang, "-E", "-w"] + flags + [path], capture_output=True, text=True)
    active = collections.defaultdict(set)
    # The file itself was read even when none of its lines is kept (all in
    # a branch the configuration skips).
    active[os.path.normpath(path)] = set()
    current, number = None, 0
    marker = re.compile(r'^# (\d+) "((?:[^"\\]|\\.)*)"')
    for line in r.stdout.splitlines():
        m = marker.match(line)
        if m:
            number, current = int(m.group(1)), os.path.normpath(json.loads('"' + m.group(2) + '"'))
            continue
        if current in files and line.strip():
            active[current].add(number)
        number += 1
    return {f: sorted(v) for f, v in active.items()}


def find_clang():
    for c in ("clang-14", "clang"):
        if shutil.which(c):
            return c
    if need_package("clang"):
        return "clang"
    return None


def build_truth(corpus, clang, jobs, refresh):
    version = subprocess.run([clang, "--version"], capture_output=True, text=True).stdout
    h = hashlib.sha256(f"{TRUTH_FORMAT}\n{version}\n{corpus['flags']}\n".encode())
    for f in corpus["files"]:
        st = os.stat(f)
        h.update(f"{f} {st.st_size} {int(st.st_mtime)}\n".encode())
    cache = os.path.join(CACHE, f"truth-{corpus['name']}-{h.hexdigest()[:16]}.json")
    if os.path.exists(cache) and not refresh:
        with open(cache) as fh:
            return json.load(fh)

    files = corpus["files"]
    started = time.time()
    note(f"accuracy: clang on {len(corpus['sources'])} {corpus['name']} sources ...")
    units = []
    with concurrent.futures.ProcessPoolExecutor(max_workers=jobs) as pool:
        units += pool.map(dump_unit, [(clang, s, corpus["flags"], files) for s in corpus["sources"]])
        seen = set().union(*(u["seen"] for u in units)) if units else set()
        headers = [f for f in files if f not in seen and f not in corpus["sources"]]
        if headers:
            note(f"accuracy: clang on {len(headers)} headers no source includes ...")
            hflags = corpus["flags"] + corpus["header_flags"]
            units += pool.map(dump_unit, [(clang, s, hflags, files) for s in headers])
        actives = list(pool.map(active_lines, [(clang, u["path"], corpus["flags"] if u["path"] in corpus["sources"]
                                                 else corpus["flags"] + corpus["header_flags"], files)
                                                for u in units]))

    defs = {}
    for u in units:
        defs.update({k: v for k, v in u["defs"].items() if k not in defs})
    # A mangled name reaches a definition of another unit (external linkage).
    mangled_defs = collections.defaultdict(set)
    for u in units:
        for mangled, key in u["mangled"].items():
            mangled_defs[mangled].add(key)
    # A member instantiated from an out-of-class definition is that
    # definition (found by where its body starts).
    by_body = {d["body"]: k for k, d in defs.items() if d.get("body")}

    def real(key):
        return by_body.get(key) if key and key.startswith("body:") else key

    for mangled in list(mangled_defs):
        mangled_defs[mangled] = {real(k) for k in mangled_defs[mangled] if real(k)}
    sites = {}
    macro_defs, macro_calls = set(), set()
    for u in units:
        macro_defs.update(tuple(x) for x in u["macro_defs"])
        macro_calls.update(tuple(x) for x in u["macro_calls"])
        for site, caller, name, target, mangled, how, line in u["sites"]:
            caller, target = real(caller), real(target)
            if not caller:
                continue
            if not target and mangled and len(mangled_defs.get(mangled, ())) == 1:
                target = next(iter(mangled_defs[mangled]))
            s = sites.setdefault(site, {"caller": caller, "name": name, "targets": set(),
                                        "line": line, "resolved": False})
            if how != "dependent":
                s["resolved"] = True
            if target:
                s["targets"].add(target)
    active = collections.defaultdict(set)
    for a in actives:
        for f, lines in a.items():
            active[f].update(lines)
    truth = {
        "defs": defs,
        "sites": {k: dict(v, targets=sorted(v["targets"])) for k, v in sites.items()},
        "macro_defs": len(macro_defs),
        "macro_calls": len(macro_calls),
        "active": {f: sorted(v) for f, v in active.items()},
        "errors": sum(u["error_count"] for u in units),
        "error_samples": [e for u in units for e in u["errors"]][:5],
        "seconds": round(time.time() - started, 1),
    }
    os.makedirs(CACHE, exist_ok=True)
    with open(cache + ".part", "w") as fh:
        json.dump(truth, fh)
    os.replace(cache + ".part", cache)
    return truth
