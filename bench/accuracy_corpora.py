"""The corpora of bench/accuracy: where each one's files come from, which of
them clang reads as sources, and the flags it needs. Debian source packages
are fetched with apt-get source through a private copy of the system's apt
sources (deb-src entries made from its deb entries) into the cache; nothing
is installed but the packages the corpora are (googletest) or clang needs."""

import os
import re
import shutil
import subprocess
import tempfile

from accuracy_truth import CACHE, need_package, note


def googletest_corpus():
    top = "/usr/src/googletest"
    if not os.path.isdir(top) and not need_package("googletest"):
        return None
    files, dirs = [], []
    for part in ("googletest", "googlemock"):
        dirs += [os.path.join(top, part, "include"), os.path.join(top, part)]
        for sub in ("src", "include"):
            for base, _, names in os.walk(os.path.join(top, part, sub)):
                files += [os.path.join(base, n) for n in names if n.endswith((".cc", ".h"))]
    flags = ["-x", "c++", "-std=c++17"] + [f"-I{d}" for d in dirs]
    # The *-all.cc files only include the others.
    sources = [f for f in files if f.endswith(".cc") and not f.endswith("-all.cc")]
    return {"name": "googletest", "files": sorted(files), "sources": sorted(sources),
            "flags": flags, "header_flags": ["-x", "c++-header"], "ext": "C;CPP;H;CC;"}


def lua_corpus():
    package = "librust-lua52-sys-dev"
    dest = os.path.join(CACHE, package)
    src = os.path.join(dest, "usr/share/cargo/registry/lua52-sys-0.1.2/lua/src")
    if not os.path.isdir(src):
        work = tempfile.mkdtemp(prefix="velmora-accuracy-")
        os.chmod(work, 0o755)  # apt's download user writes here
        try:
            cmd = ["apt-get", "download", package]
            if subprocess.run(cmd, cwd=work, capture_output=True).returncode != 0:
                subprocess.run(["apt-get", "update", "-qq"], capture_output=True)
                if subprocess.run(cmd, cwd=work, capture_output=True).returncode != 0:
                    note(f"accuracy: apt-get download {package} failed")
                    return None
            debs = [n for n in os.listdir(work) if n.endswith(".deb")]
            os.makedirs(dest, exist_ok=True)
            subprocess.run(["dpkg-deb", "-x", os.path.join(work, debs[0]), dest], check=True)
        finally:
            shutil.rmtree(work, ignore_errors=True)
    if not os.path.isdir(src):
        note(f"accuracy: {src} not found in {package}")
        return None
    files = sorted(os.path.join(src, n) for n in os.listdir(src) if n.endswith((".c", ".h")))
    sources = [f for f in files if f.endswith(".c")]
    return {"name": "lua", "files": files, "sources": sources,
            "flags": ["-x", "c", "-std=gnu99"], "header_flags": ["-x", "c-header"],
            "ext": "C;CPP;H;"}


def private_apt():
    """apt-get options for a private copy of the system's apt sources with a
    deb-src entry beside each deb entry, its lists kept in the cache (the
    system's own apt state is never touched)."""
    top = os.path.join(CACHE, "apt")
    parts = os.path.join(top, "sources.list.d")
    os.makedirs(os.path.join(top, "lists", "partial"), exist_ok=True)
    os.makedirs(os.path.join(top, "cache", "archives", "partial"), exist_ok=True)
    os.makedirs(parts, exist_ok=True)
    found, lists = [], ["/etc/apt/sources.list"]
    if os.path.isdir("/etc/apt/sources.list.d"):
        lists += sorted(os.path.join("/etc/apt/sources.list.d", n) for n in os.listdir("/etc/apt/sources.list.d")
                        if n.endswith((".list", ".sources")))
    for src in lists:
        if not os.path.isfile(src):
            continue
        with open(src) as fh:
            text = fh.read()
        if src.endswith(".sources"):
            made = re.sub(r"^Types:.*$", "Types: deb-src", text, flags=re.M)
        else:
            made = "\n".join("deb-src " + l[4:] for l in text.splitlines() if l.startswith("deb "))
        if made.strip():
            name = os.path.basename(src)
            with open(os.path.join(parts, name), "w") as fh:
                fh.write(made + "\n")
            found.append(name)
    return found, ["-o", "Dir::Etc::SourceList=/dev/null", "-o", f"Dir::Etc::SourceParts={parts}",
                   "-o", f"Dir::State::Lists={os.path.join(top, 'lists')}",
                   "-o", f"Dir::Cache={os.path.join(top, 'cache')}"]


def source_package(package):
    """The unpacked Debian source package (its folder in the cache), fetched
    once; None when it cannot be had."""
    dest = os.path.join(CACHE, "src", package)
    if os.path.isdir(dest) and os.listdir(dest):
        return os.path.join(dest, os.listdir(dest)[0])
    found, opts = private_apt()
    if not found:
        note("accuracy: no apt sources to make deb-src entries from")
        return None
    work = tempfile.mkdtemp(prefix="velmora-accuracy-")
    os.chmod(work, 0o755)  # apt's download user writes here
    try:
        fetch = ["apt-get"] + opts + ["source", "--download-only", "-qq", package]
        if subprocess.run(fetch, cwd=work, capture_output=True).returncode != 0:
            subprocess.run(["apt-get"] + opts + ["update", "-qq"], capture_output=True)
            r = subprocess.run(fetch, cwd=work, capture_output=True, text=True)
            if r.returncode != 0:
                note(f"accuracy: apt-get source {package} failed: {r.stderr.strip()[:300]}")
                return None
        dsc = [n for n in os.listdir(work) if n.endswith(".dsc")]
        unpack = os.path.join(work, "unpacked")
        # apt-get checked every file against the signed index.
        r = subprocess.run(["dpkg-source", "--no-check", "-x", dsc[0], unpack], cwd=work,
                           capture_output=True, text=True)
        if r.returncode != 0:
            note(f"accuracy: dpkg-source -x {dsc[0]} failed: {r.stderr.strip()[:300]}")
            return None
        os.makedirs(dest, exist_ok=True)
        shutil.move(unpack, os.path.join(dest, os.path.basename(dsc[0])[:-4]))
    finally:
        shutil.rmtree(work, ignore_errors=True)
    return os.path.join(dest, os.listdir(dest)[0])


def tinyxml2_corpus():
    top = source_package("tinyxml2")
    if not top:
        return None
    files = [os.path.join(top, n) for n in ("tinyxml2.cpp", "tinyxml2.h", "xmltest.cpp",
                                             "contrib/html5-printer.cpp")]
    files = [f for f in files if os.path.isfile(f)]
    return {"name": "tinyxml2", "files": files, "sources": [f for f in files if f.endswith(".cpp")],
            "flags": ["-x", "c++", "-std=c++17", f"-I{top}"], "header_flags": ["-x", "c++-header"],
            "ext": "C;CPP;H;"}


def fmt_corpus():
    top = source_package("fmtlib")
    if not top:
        return None
    if not os.path.isdir("/usr/src/googletest") and not need_package("googletest"):
        return None
    inc = os.path.join(top, "include", "fmt")
    files = sorted(os.path.join(inc, n) for n in os.listdir(inc) if n.endswith(".h"))
    files += [os.path.join(top, "src", n) for n in ("format.cc", "os.cc")]
    tests = ("format-test.cc", "core-test.cc", "ranges-test.cc", "printf-test.cc", "xchar-test.cc",
             "args-test.cc", "ostream-test.cc", "util.cc", "util.h", "gtest-extra.cc", "gtest-extra.h",
             "mock-allocator.h")
    files += [os.path.join(top, "test", n) for n in tests]
    files = [f for f in files if os.path.isfile(f)]
    gtest = "/usr/src/googletest"
    flags = ["-x", "c++", "-std=c++17", f"-I{os.path.join(top, 'include')}", f"-I{os.path.join(top, 'test')}",
             f"-I{gtest}/googletest/include", f"-I{gtest}/googlemock/include"]
    return {"name": "fmt", "files": files, "sources": [f for f in files if f.endswith(".cc")],
            "flags": flags, "header_flags": ["-x", "c++-header"], "ext": "C;CPP;H;CC;"}


CORPORA = {"googletest": googletest_corpus, "tinyxml2": tinyxml2_corpus, "fmt": fmt_corpus,
           "lua": lua_corpus}
