#!/usr/bin/env python3
"""Writes the files that package managers and scanners read beside a release zip.

release-manifests.py OUT STAGE ZIP COMPILER (called by release.sh, with the facts in the environment)

- winget/: the multi-file winget manifest (version, installer, defaultLocale), schema 1.10.0;
- msitool.json: the Scoop manifest;
- <zip name without .zip>.spdx.json: the SPDX 2.3 bill of materials of the zip's contents.

STAGE holds the files that went into the zip; COMPILER is the C++ compiler that built msitool.exe.
The statically linked components are the Debian packages that own the libraries that compiler links,
with the versions and licences dpkg and their copyright files give on this machine; the imported DLLs
are the executable's import table. Every output depends only on its inputs: same inputs, same bytes.
"""
import hashlib
import json
import os
import re
import subprocess
import sys
import time
import urllib.parse

PACKAGE_IDENTIFIER = "Quorvin.MsiTool"
PUBLISHER = "Quorvin"
PACKAGE_NAME = "Quorvin Msi Tool"
COMMAND = "msitool"
EXE = "msitool.exe"
LICENSE = "MIT"
LOCALE = "en-US"
WINGET_SCHEMA = "1.10.0"

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
    manifest("installer", f"{PACKAGE_IDENTIFIER}.installer.yaml", {
        "InstallerType": "zip",
        "NestedInstallerType": "portable",
        "NestedInstallerFiles": [{"RelativeFilePath": EXE, "PortableCommandAlias": COMMAND}],
        "ReleaseDate": facts["date"],
        "Installers": [{"Architecture": "x86", "InstallerUrl": facts["url"],
                        "InstallerSha256": facts["zip_sha256"].upper()}],
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
        "url": facts["url"],
        "hash": facts["zip_sha256"],
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


def component_packages(compiler, extracted):
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
            "SPDXID": f"SPDXRef-Package-{component['id']}",
            "name": component["name"],
            "versionInfo": version,
            "supplier": "Organization: Debian",
            "downloadLocation": "NOASSERTION",
            "filesAnalyzed": False,
            "licenseConcluded": "NOASSERTION",
            "licenseDeclared": licence,
            "copyrightText": "NOASSERTION",
            "sourceInfo": "{} from the Debian package {} {} ({}), linked statically into {}; licence read from {}".format(
                ", ".join(component["libraries"]), package, version, architecture, EXE, copyright_path),
            "primaryPackagePurpose": "LIBRARY",
            "externalRefs": [{"referenceCategory": "PACKAGE-MANAGER", "referenceType": "purl",
                              "referenceLocator": purl}],
        })
    return packages


def imported_dlls(exe):
    names = re.findall(r"^\s*DLL Name: (\S+)\s*$", run("i686-w64-mingw32-objdump", "-p", exe), re.MULTILINE)
    return sorted(set(names), key=str.lower)


def spdx_id(kind, name):
    return f"SPDXRef-{kind}-" + re.sub(r"[^A-Za-z0-9.-]", "-", name)


def write_spdx(out, stage, facts, files, compiler):
    extracted = {}
    components = component_packages(compiler, extracted)
    dlls = imported_dlls(os.path.join(stage, EXE))
    product = "SPDXRef-Package-msitool"
    exe_id = spdx_id("File", EXE)
    file_entries = []
    for name in files:
        path = os.path.join(stage, name)
        file_types = ["BINARY", "APPLICATION"] if name == EXE else ["TEXT"]
        file_entries.append({
            "SPDXID": spdx_id("File", name),
            "fileName": "./" + name,
            "fileTypes": file_types,
            "checksums": [{"algorithm": "SHA1", "checksumValue": digest(path, "sha1")},
                          {"algorithm": "SHA256", "checksumValue": digest(path, "sha256")}],
            "licenseConcluded": "NOASSERTION" if name == EXE else LICENSE,
            "copyrightText": facts["copyright"],
        })
    verification = hashlib.sha1("".join(sorted(digest(os.path.join(stage, name), "sha1") for name in files))
                                .encode()).hexdigest()
    packages = [{
        "SPDXID": product,
        "name": COMMAND,
        "versionInfo": facts["version"],
        "packageFileName": facts["zip"],
        "supplier": f"Organization: {PUBLISHER}",
        "originator": f"Organization: {PUBLISHER}",
        "downloadLocation": facts["url"],
        "homepage": facts["homepage"],
        "filesAnalyzed": True,
        "packageVerificationCode": {"packageVerificationCodeValue": verification},
        "hasFiles": [entry["SPDXID"] for entry in file_entries],
        "checksums": [{"algorithm": "SHA256", "checksumValue": facts["zip_sha256"]}],
        "licenseConcluded": "NOASSERTION",
        "licenseDeclared": LICENSE,
        "licenseInfoFromFiles": [LICENSE],
        "copyrightText": facts["copyright"],
        "summary": facts["description"],
        "primaryPackagePurpose": "APPLICATION",
        # pkg:generic with the zip's address as download_url: the page is no GitHub address (and a
        # pkg:github version would be a tag, which this script does not make). A scanner matches
        # the name and version; the address says which zip it is.
        "externalRefs": [{"referenceCategory": "PACKAGE-MANAGER", "referenceType": "purl",
                          "referenceLocator": "pkg:generic/{}@{}?download_url={}".format(
                              COMMAND, facts["version"], urllib.parse.quote(facts["url"], safe=":/"))}],
    }] + components
    for dll in dlls:
        packages.append({
            "SPDXID": spdx_id("Package-dll", dll),
            "name": dll,
            "supplier": "NOASSERTION",
            "downloadLocation": "NONE",
            "filesAnalyzed": False,
            "licenseConcluded": "NOASSERTION",
            "licenseDeclared": "NOASSERTION",
            "copyrightText": "NOASSERTION",
            "comment": f"A Windows system DLL named in the import table of {EXE}; Windows provides it, the zip does not.",
            "primaryPackagePurpose": "OPERATING_SYSTEM",
        })
    relationships = [{"spdxElementId": "SPDXRef-DOCUMENT", "relationshipType": "DESCRIBES",
                      "relatedSpdxElement": product}]
    relationships += [{"spdxElementId": product, "relationshipType": "CONTAINS",
                       "relatedSpdxElement": entry["SPDXID"]} for entry in file_entries]
    relationships += [{"spdxElementId": exe_id, "relationshipType": "STATIC_LINK",
                       "relatedSpdxElement": component["SPDXID"]} for component in components]
    relationships += [{"spdxElementId": exe_id, "relationshipType": "DYNAMIC_LINK",
                       "relatedSpdxElement": spdx_id("Package-dll", dll)} for dll in dlls]
    document = {
        "spdxVersion": "SPDX-2.3",
        "dataLicense": "CC0-1.0",
        "SPDXID": "SPDXRef-DOCUMENT",
        "name": facts["zip"],
        # Under the project's own address, as SPDX asks of a creator; the zip's hash makes it one
        # document's.
        "documentNamespace": "{}/spdx/{}-{}".format(facts["homepage"].rstrip("/"), facts["zip"], facts["zip_sha256"]),
        "creationInfo": {
            "created": facts["created"],
            "creators": [f"Organization: {PUBLISHER}", f"Tool: msitool-release.sh-{facts['version']}"],
            "comment": f"Written by scripts/release.sh from commit {facts['commit']}, at that commit's time.",
        },
        "documentDescribes": [product],
        "packages": packages,
        "files": file_entries,
        "relationships": relationships,
    }
    if extracted:
        document["hasExtractedLicensingInfos"] = [extracted[key] for key in sorted(extracted)]
    base = facts["zip"][:-len(".zip")] if facts["zip"].endswith(".zip") else facts["zip"]
    write(os.path.join(out, f"{base}.spdx.json"), json.dumps(document, indent=2, ensure_ascii=False) + "\n")


def main():
    if len(sys.argv) < 5:
        sys.exit("usage: release-manifests.py OUT STAGE ZIP COMPILER FILE...")
    out, stage, zip_path, compiler, *files = sys.argv[1:]
    epoch = int(os.environ["SOURCE_DATE_EPOCH"])
    facts = {
        "version": os.environ["MSITOOL_VERSION"],
        "commit": os.environ["MSITOOL_COMMIT"],
        "url": os.environ["MSITOOL_DOWNLOAD_URL"],
        "homepage": os.environ["MSITOOL_HOMEPAGE"],
        "description": os.environ["MSITOOL_DESCRIPTION"],
        "copyright": os.environ["MSITOOL_COPYRIGHT"],
        "zip": os.path.basename(zip_path),
        "zip_sha256": digest(zip_path, "sha256"),
        "created": time.strftime("%Y-%m-%dT%H:%M:%SZ", time.gmtime(epoch)),
        "date": time.strftime("%Y-%m-%d", time.gmtime(epoch)),
    }
    write_winget(out, facts)
    write_scoop(out, facts)
    write_spdx(out, stage, facts, files, compiler)


if __name__ == "__main__":
    main()
