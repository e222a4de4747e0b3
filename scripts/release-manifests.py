#!/usr/bin/env python3
"""Writes the files that package managers and scanners read beside the release zips.

release-manifests.py OUT ARCH STAGE ZIP COMPILER [ARCH STAGE ZIP COMPILER]...
(called by release.sh, with the facts in the environment)

- winget/: the multi-file winget manifest (version, installer, defaultLocale), schema 1.10.0, with
  one installer an architecture;
- msitool.json: the Scoop manifest, with one entry an architecture;
- msitool-<version>.spdx.json: the SPDX 2.3 bill of materials of every zip's contents.

Each ARCH (x86 or x64) has its ZIP, the folder STAGE its files went into the zip from, and the C++
COMPILER that built its msitool.exe. Each zip is downloaded from the folder MSITOOL_DOWNLOAD_FOLDER,
under its own name. The statically linked components are the Debian packages that own the libraries
that compiler links, with the versions and licences dpkg and their copyright files give on this
machine; the imported DLLs are the executable's import table. Every output depends only on its
inputs: same inputs, same bytes.
"""
import hashlib
import json
import os
import re
import subprocess
import sys
import time
import urllib.parse
import zipfile

PACKAGE_IDENTIFIER = "Quorvin.MsiTool"
PUBLISHER = "Quorvin"
PACKAGE_NAME = "Quorvin Msi Tool"
COMMAND = "msitool"
EXE = "msitool.exe"
LICENSE = "MIT"
LOCALE = "en-US"
WINGET_SCHEMA = "1.10.0"

# How winget and Scoop name each architecture, and how the bill describes it.
ARCHITECTURES = {
    "x86": {"winget": "x86", "scoop": "32bit", "words": "32-bit x86 Windows"},
    "x64": {"winget": "x64", "scoop": "64bit", "words": "64-bit x64 Windows"},
}

# The libraries the static link pulls in, grouped by the component they belong to. `dep5` names the
# component's folder in the source of a machine-readable copyright file; `gcc_runtime` the name under
# which GCC's copyright file lists a runtime library.
COMPONENTS = [
    {"id": "mingw-w64-crt", "name": "mingw-w64 CRT and runtime",
     "libraries": ["crt2.o", "libmingw32.a", "libmingwex.a", "libmsvcrt.a", "libmoldname.a"],
     "dep5": "mingw-w64-crt/"},
    {"id": "winpthreads", "name": "winpthreads", "libraries": ["libwinpthread.a"],
     "dep5": "mingw-w64-libraries/winpthreads/"},
    {"id": "libstdcxx", "name": "libstdc++", "libraries": ["libstdc++.a"], "gcc_runtime": "libstdc++-v3"},
    {"id": "libgcc", "name": "libgcc", "libraries": ["libgcc.a", "libgcc_eh.a"], "gcc_runtime": "libgcc"},
]

# Debian's short licence names that have an SPDX identifier; any other name becomes a LicenseRef with
# the text the copyright file gives for it.
DEBIAN_TO_SPDX = {
    "expat": "MIT", "MIT": "MIT", "ZPL-2.1": "ZPL-2.1", "ISC": "ISC",
    "BSD-2-clause": "BSD-2-Clause", "BSD-3-clause": "BSD-3-Clause",
    "GPL-2+": "GPL-2.0-or-later", "GPL-3+": "GPL-3.0-or-later",
    "LGPL-2+": "LGPL-2.0-or-later", "LGPL-2.1+": "LGPL-2.1-or-later",
}
GCC_RUNTIME_PARAGRAPH = ("The following runtime libraries are licensed under the terms of the GNU General "
                         "Public License (v3 or later) with version 3.1 of the GCC Runtime Library Exception")


def run(*command):
    return subprocess.run(command, check=True, capture_output=True, text=True).stdout


def digest(path, algorithm):
    with open(path, "rb") as file:
        return hashlib.new(algorithm, file.read()).hexdigest()


def yaml_string(text):
    """TEXT as a double-quoted YAML scalar of printable ASCII that libyaml reads back exactly. A JSON
    string is not one: JSON writes a character outside the BMP as a surrogate pair, which libyaml
    refuses, and a raw NEL (U+0085) comes back as a space."""
    def escape(character):
        if character in '"\\':
            return "\\" + character
        if " " <= character <= "~":
            return character
        code = ord(character)
        return f"\\u{code:04X}" if code < 0x10000 else f"\\U{code:08X}"
    return '"' + "".join(map(escape, text)) + '"'


def yaml_lines(value, indent=0):
    """Block YAML of dicts, lists and strings."""
    pad = " " * indent
    lines = []
    for key, item in value.items():
        if isinstance(item, list):
            lines.append(f"{pad}{key}:")
            for element in item:
                nested = yaml_lines(element, indent + 2)
                lines += [f"{pad}- {nested[0].lstrip()}"] + nested[1:]
        else:
            lines.append(f"{pad}{key}: {yaml_string(item)}")
    return lines


def yaml_text(header, fields):
    return header + "\n".join(yaml_lines(fields)) + "\n"


def write(path, text):
    os.makedirs(os.path.dirname(path), exist_ok=True)
    with open(path, "w", encoding="utf-8", newline="\n") as file:
        file.write(text)


def write_winget(out, facts):
    folder = os.path.join(out, "winget")

    def manifest(kind, file_name, fields):
        header = (f"# {PACKAGE_NAME} {facts['version']}: winget {kind} manifest, written by scripts/release.sh\n"
                  f"# yaml-language-server: $schema=https://aka.ms/winget-manifest.{kind}.{WINGET_SCHEMA}.schema.json\n")
        fields = {"PackageIdentifier": PACKAGE_IDENTIFIER, "PackageVersion": facts["version"], **fields,
                  "ManifestType": kind, "ManifestVersion": WINGET_SCHEMA}
        write(os.path.join(folder, file_name), yaml_text(header, fields))

    manifest("version", f"{PACKAGE_IDENTIFIER}.yaml", {"DefaultLocale": LOCALE})
    # The fields before Installers hold for each of them: every zip has its msitool.exe at the top.
    manifest("installer", f"{PACKAGE_IDENTIFIER}.installer.yaml", {
        "InstallerType": "zip",
        "NestedInstallerType": "portable",
        "NestedInstallerFiles": [{"RelativeFilePath": EXE, "PortableCommandAlias": COMMAND}],
        "ReleaseDate": facts["date"],
        # msitool.exe's own manifest asks for an administrator (requireAdministrator), so Windows
        # asks to elevate it whenever it starts from a shell that is not elevated.
        "ElevationRequirement": "elevatesSelf",
        "Installers": [{"Architecture": ARCHITECTURES[build["arch"]]["winget"], "InstallerUrl": build["url"],
                        "InstallerSha256": build["zip_sha256"].upper()} for build in facts["builds"]],
    })
    manifest("defaultLocale", f"{PACKAGE_IDENTIFIER}.locale.{LOCALE}.yaml", {
        "PackageLocale": LOCALE,
        "Publisher": PUBLISHER,
        "PackageName": PACKAGE_NAME,
        "PackageUrl": facts["homepage"],
        "License": LICENSE,
        "Copyright": facts["copyright"],
        "ShortDescription": facts["description"],
        "Moniker": COMMAND,
    })


def write_scoop(out, facts):
    manifest = {
        "version": facts["version"],
        "description": facts["description"],
        "homepage": facts["homepage"],
        "license": LICENSE,
        "architecture": {ARCHITECTURES[build["arch"]]["scoop"]: {"url": build["url"], "hash": build["zip_sha256"]}
                         for build in facts["builds"]},
        "bin": EXE,
    }
    write(os.path.join(out, f"{COMMAND}.json"), json.dumps(manifest, indent=4) + "\n")


def dep5_paragraphs(text):
    """The paragraphs of a machine-readable copyright file, each a dict of field -> value."""
    paragraphs = []
    for block in re.split(r"\n\s*\n", text):
        fields, key = {}, None
        for line in block.splitlines():
            if line[:1] in (" ", "\t") and key:
                fields[key] += "\n" + line.strip()
            elif ":" in line:
                key, value = line.split(":", 1)
                fields[key] = value.strip()
        if fields:
            paragraphs.append(fields)
    return paragraphs


def licence_reference(name):
    return "LicenseRef-" + re.sub(r"[^A-Za-z0-9.]+", "-", name).strip("-")


def dep5_licence(text, folder, extracted, copyright_path):
    """The licences of every stanza for files in FOLDER, and of `Files: *` when no stanza covers FOLDER
    whole, as one SPDX expression; licences without an SPDX identifier go into EXTRACTED."""
    paragraphs = dep5_paragraphs(text)
    standalone = {p["License"].split("\n")[0]: p["License"] for p in paragraphs
                  if "License" in p and "Files" not in p and "Format" not in p}
    stanzas = [p for p in paragraphs if "Files" in p and "License" in p]
    chosen = [p for p in stanzas if any(pattern.startswith(folder) for pattern in p["Files"].split())]
    if not any(folder + "*" in p["Files"].split() for p in chosen):
        chosen += [p for p in stanzas if "*" in p["Files"].split()]
    names = []
    for stanza in chosen:
        full = stanza["License"]
        for name in re.split(r"\s+(?:and|or)\s+", full.split("\n")[0]):
            if name in names:
                continue
            names.append(name)
            if name in DEBIAN_TO_SPDX:
                continue
            body = ""
            if "\n" in full:
                body = full.split("\n", 1)[1]
            elif "\n" in standalone.get(name, ""):
                body = standalone[name].split("\n", 1)[1]
            body = "\n".join("" if line == "." else line for line in body.split("\n")).strip()
            extracted.setdefault(licence_reference(name), {
                "licenseId": licence_reference(name),
                "name": name,
                "extractedText": body or f'Named "{name}" in {copyright_path}, which gives no text for it.',
                "comment": f"Read from {copyright_path}.",
            })
    ids = sorted({DEBIAN_TO_SPDX.get(name, licence_reference(name)) for name in names})
    return " AND ".join(ids) if ids else "NOASSERTION"


def gcc_runtime_licence(text, library):
    """GPL-3.0-or-later WITH GCC-exception-3.1 when GCC's copyright file lists LIBRARY under its
    runtime library exception; NOASSERTION otherwise."""
    flat = " ".join(text.split())
    start = flat.find(GCC_RUNTIME_PARAGRAPH)
    if start < 0:
        return "NOASSERTION"
    listing = flat[start + len(GCC_RUNTIME_PARAGRAPH):].split(" - ")
    # The list ends at the first item whose text runs into the next paragraph; its first word counts.
    if any(item.split(" ")[0].rstrip(".") == library for item in listing[1:]):
        return "GPL-3.0-or-later WITH GCC-exception-3.1"
    return "NOASSERTION"


def debian_package(path):
    owner = run("dpkg", "-S", os.path.realpath(path)).split("\n")[0]
    package = owner.split(":")[0] if owner.count(":") == 1 else ":".join(owner.split(":")[:2])
    version, architecture = run("dpkg-query", "-W", "-f=${Version} ${Architecture}", package).split()
    return package, version, architecture


def component_packages(build, extracted):
    compiler = build["compiler"]
    packages = []
    for component in COMPONENTS:
        owners = set()
        for library in component["libraries"]:
            path = run(compiler, f"-print-file-name={library}").strip()
            if not os.path.isabs(path):
                sys.exit(f"release-manifests.py: {compiler} does not find {library}")
            owners.add(debian_package(path))
        if len(owners) != 1:
            sys.exit(f"release-manifests.py: {component['name']} comes from several packages: {sorted(owners)}")
        package, version, architecture = owners.pop()
        copyright_path = f"/usr/share/doc/{package}/copyright"
        with open(copyright_path, encoding="utf-8", errors="replace") as file:
            text = file.read()
        if "gcc_runtime" in component:
            licence = gcc_runtime_licence(text, component["gcc_runtime"])
        elif text.startswith("Format:"):
            licence = dep5_licence(text, component["dep5"], extracted, copyright_path)
        else:
            licence = "NOASSERTION"
        purl = "pkg:deb/debian/{}@{}?arch={}".format(
            package, urllib.parse.quote(version, safe=""), architecture)
        packages.append({
            "SPDXID": f"SPDXRef-Package-{build['arch']}-{component['id']}",
            "name": component["name"],
            "versionInfo": version,
            "supplier": "Organization: Debian",
            "downloadLocation": "NOASSERTION",
            "filesAnalyzed": False,
            "licenseConcluded": "NOASSERTION",
            "licenseDeclared": licence,
            "copyrightText": "NOASSERTION",
            "sourceInfo": "{} from the Debian package {} {} ({}), linked statically into {} of {}; licence read from {}".format(
                ", ".join(component["libraries"]), package, version, architecture, EXE, build["zip"], copyright_path),
            "primaryPackagePurpose": "LIBRARY",
            "externalRefs": [{"referenceCategory": "PACKAGE-MANAGER", "referenceType": "purl",
                              "referenceLocator": purl}],
        })
    return packages


def imported_dlls(exe, compiler):
    objdump = run(compiler, "-dumpmachine").strip() + "-objdump"
    names = re.findall(r"^\s*DLL Name: (\S+)\s*$", run(objdump, "-p", exe), re.MULTILINE)
    return sorted(set(names), key=str.lower)


def spdx_id(kind, name):
    return f"SPDXRef-{kind}-" + re.sub(r"[^A-Za-z0-9.-]", "-", name)


def product_package(build, facts):
    """The package of one zip, its files and their relationships."""
    arch = build["arch"]
    product = f"SPDXRef-Package-msitool-{arch}"
    file_entries = []
    for name, data in build["files"]:
        file_entries.append({
            "SPDXID": spdx_id(f"File-{arch}", name),
            "fileName": "./" + name,
            "fileTypes": ["BINARY", "APPLICATION"] if name == EXE else ["TEXT"],
            "checksums": [{"algorithm": "SHA1", "checksumValue": hashlib.sha1(data).hexdigest()},
                          {"algorithm": "SHA256", "checksumValue": hashlib.sha256(data).hexdigest()}],
            "licenseConcluded": "NOASSERTION" if name == EXE else LICENSE,
            "copyrightText": facts["copyright"],
        })
    verification = hashlib.sha1("".join(sorted(hashlib.sha1(data).hexdigest() for _, data in build["files"]))
                                .encode()).hexdigest()
    package = {
        "SPDXID": product,
        "name": COMMAND,
        "versionInfo": facts["version"],
        "packageFileName": build["zip"],
        "supplier": f"Organization: {PUBLISHER}",
        "originator": f"Organization: {PUBLISHER}",
        "downloadLocation": build["url"],
        "homepage": facts["homepage"],
        "filesAnalyzed": True,
        "packageVerificationCode": {"packageVerificationCodeValue": verification},
        "hasFiles": [entry["SPDXID"] for entry in file_entries],
        "checksums": [{"algorithm": "SHA256", "checksumValue": build["zip_sha256"]}],
        "licenseConcluded": "NOASSERTION",
        "licenseDeclared": LICENSE,
        "licenseInfoFromFiles": [LICENSE],
        "copyrightText": facts["copyright"],
        "summary": facts["description"],
        "description": f"{PACKAGE_NAME} for {ARCHITECTURES[arch]['words']}.",
        "primaryPackagePurpose": "APPLICATION",
        # pkg:generic with the zip's address as download_url: the page is no GitHub address (and a
        # pkg:github version would be a tag, which this script does not make). A scanner matches
        # the name and version; arch and the address say which zip it is.
        "externalRefs": [{"referenceCategory": "PACKAGE-MANAGER", "referenceType": "purl",
                          "referenceLocator": "pkg:generic/{}@{}?arch={}&download_url={}".format(
                              COMMAND, facts["version"], arch, urllib.parse.quote(build["url"], safe=":/"))}],
    }
    relationships = [{"spdxElementId": product, "relationshipType": "CONTAINS",
                      "relatedSpdxElement": entry["SPDXID"]} for entry in file_entries]
    return package, file_entries, relationships


def write_spdx(out, facts):
    extracted = {}
    products, files, components, relationships = [], [], [], []
    dlls = {}  # one package a DLL, by its name in any case, for every executable that imports it
    for build in facts["builds"]:
        package, file_entries, contains = product_package(build, facts)
        products.append(package)
        files += file_entries
        relationships += contains
        exe_id = spdx_id(f"File-{build['arch']}", EXE)
        linked = component_packages(build, extracted)
        components += linked
        relationships += [{"spdxElementId": exe_id, "relationshipType": "STATIC_LINK",
                           "relatedSpdxElement": component["SPDXID"]} for component in linked]
        for dll in imported_dlls(os.path.join(build["stage"], EXE), build["compiler"]):
            dll_id, _ = dlls.setdefault(dll.lower(), (spdx_id("Package-dll", dll), dll))
            relationships.append({"spdxElementId": exe_id, "relationshipType": "DYNAMIC_LINK",
                                  "relatedSpdxElement": dll_id})
    packages = products + components
    for dll_id, dll in dlls.values():
        packages.append({
            "SPDXID": dll_id,
            "name": dll,
            "supplier": "NOASSERTION",
            "downloadLocation": "NONE",
            "filesAnalyzed": False,
            "licenseConcluded": "NOASSERTION",
            "licenseDeclared": "NOASSERTION",
            "copyrightText": "NOASSERTION",
            "comment": f"A Windows system DLL named in the import table of {EXE}; Windows provides it, the zips do not.",
            "primaryPackagePurpose": "OPERATING_SYSTEM",
        })
    described = [product["SPDXID"] for product in products]
    relationships = [{"spdxElementId": "SPDXRef-DOCUMENT", "relationshipType": "DESCRIBES",
                      "relatedSpdxElement": product} for product in described] + relationships
    # The lines of SHA256SUMS, whose hash makes the namespace this release's.
    sums = "".join(f"{build['zip_sha256']}  {build['zip']}\n" for build in facts["builds"])
    name = f"{COMMAND}-{facts['version']}"
    document = {
        "spdxVersion": "SPDX-2.3",
        "dataLicense": "CC0-1.0",
        "SPDXID": "SPDXRef-DOCUMENT",
        "name": name,
        # Under the project's own address, as SPDX asks of a creator.
        "documentNamespace": "{}/spdx/{}-{}".format(facts["homepage"].rstrip("/"), name,
                                                    hashlib.sha256(sums.encode()).hexdigest()),
        "creationInfo": {
            "created": facts["created"],
            "creators": [f"Organization: {PUBLISHER}", f"Tool: msitool-release.sh-{facts['version']}"],
            "comment": f"Written by scripts/release.sh from commit {facts['commit']}, at that commit's time.",
        },
        "documentDescribes": described,
        "packages": packages,
        "files": files,
        "relationships": relationships,
    }
    if extracted:
        document["hasExtractedLicensingInfos"] = [extracted[key] for key in sorted(extracted)]
    write(os.path.join(out, f"{name}.spdx.json"), json.dumps(document, indent=2, ensure_ascii=False) + "\n")


def main():
    arguments = sys.argv[2:]
    if len(sys.argv) < 6 or len(arguments) % 4:
        sys.exit("usage: release-manifests.py OUT ARCH STAGE ZIP COMPILER [ARCH STAGE ZIP COMPILER]...")
    out = sys.argv[1]
    folder = os.environ["MSITOOL_DOWNLOAD_FOLDER"]
    builds = []
    for arch, stage, zip_path, compiler in zip(*[iter(arguments)] * 4):
        if arch not in ARCHITECTURES:
            sys.exit(f"release-manifests.py: the architecture is x86 or x64, not {arch}")
        with zipfile.ZipFile(zip_path) as archive:
            files = [(name, archive.read(name)) for name in archive.namelist()]
        builds.append({
            "arch": arch,
            "stage": stage,
            "compiler": compiler,
            "zip": os.path.basename(zip_path),
            "zip_sha256": digest(zip_path, "sha256"),
            "url": folder + os.path.basename(zip_path),
            "files": files,  # (name, bytes) in the zip's order
        })
    epoch = int(os.environ["SOURCE_DATE_EPOCH"])
    facts = {
        "version": os.environ["MSITOOL_VERSION"],
        "commit": os.environ["MSITOOL_COMMIT"],
        "homepage": os.environ["MSITOOL_HOMEPAGE"],
        "description": os.environ["MSITOOL_DESCRIPTION"],
        "copyright": os.environ["MSITOOL_COPYRIGHT"],
        "builds": builds,
        "created": time.strftime("%Y-%m-%dT%H:%M:%SZ", time.gmtime(epoch)),
        "date": time.strftime("%Y-%m-%d", time.gmtime(epoch)),
    }
    write_winget(out, facts)
    write_scoop(out, facts)
    write_spdx(out, facts)


if __name__ == "__main__":
    main()
