#!/usr/bin/env python3
"""What winget, Scoop and an SPDX scanner check in a release, and what an administrator compares.

consumer-checks.py RELEASE_DIR UNZIPPED_DIR SCHEMAS_DIR VERSION [DOWNLOAD_FOLDER]

UNZIPPED_DIR holds each zip unzipped into a folder named after its architecture (x64, x86). Prints
one "ok:" or "FAILED:" line per check and exits 1 when any failed. Without DOWNLOAD_FOLDER the
manifests must name a placeholder folder under example.invalid.
"""
import glob
import hashlib
import json
import os
import re
import struct
import subprocess
import sys
import urllib.parse

release, unzipped, schemas, version = sys.argv[1:5]
expected_folder = sys.argv[5] if len(sys.argv) > 5 else None
failures = 0

# What each architecture's zip is called, how winget and Scoop name the architecture, and the
# compiler whose libraries are linked into its executable.
ARCHITECTURES = {
    "x64": {"zip": f"msitool-{version}-win64-x64.zip", "winget": "x64", "scoop": "64bit",
            "compiler": "x86_64-w64-mingw32-g++-posix"},
    "x86": {"zip": f"msitool-{version}-win32-x86.zip", "winget": "x86", "scoop": "32bit",
            "compiler": "i686-w64-mingw32-g++-posix"},
}


def check(what, condition, detail=""):
    global failures
    print(("ok: " if condition else "FAILED: ") + what + ("" if condition else f" ({detail})"))
    failures += 0 if condition else 1


def sha(path, algorithm="sha256"):
    with open(path, "rb") as file:
        return hashlib.new(algorithm, file.read()).hexdigest()


def pe_imports(path):
    """The DLL names in a PE file's import directory, read from the headers and sections."""
    data = open(path, "rb").read()
    pe = struct.unpack_from("<I", data, 0x3C)[0]
    sections = struct.unpack_from("<H", data, pe + 6)[0]
    optional_size = struct.unpack_from("<H", data, pe + 20)[0]
    optional = pe + 24
    directories = optional + (96 if struct.unpack_from("<H", data, optional)[0] == 0x10B else 112)
    import_rva = struct.unpack_from("<I", data, directories + 8)[0]
    table = [struct.unpack_from("<IIII", data, optional + optional_size + 40 * i + 8) for i in range(sections)]

    def offset(rva):
        for virtual_size, address, raw_size, raw in table:
            if address <= rva < address + max(virtual_size, raw_size):
                return rva - address + raw
        raise ValueError(f"RVA {rva:#x} is in no section")

    names, descriptor = [], offset(import_rva)
    while any(struct.unpack_from("<5I", data, descriptor)):
        start = offset(struct.unpack_from("<I", data, descriptor + 12)[0])
        names.append(data[start:data.index(b"\0", start)].decode("ascii"))
        descriptor += 20
    return names


def validator(relative):
    import jsonschema
    with open(os.path.join(schemas, relative)) as file:
        schema = json.load(file)
    return jsonschema.Draft7Validator(schema, format_checker=jsonschema.FormatChecker())


def schema_check(what, document, relative):
    errors = [f"{'/'.join(map(str, error.path))}: {error.message}" for error in validator(relative).iter_errors(document)]
    check(f"{what} is valid against {relative}", not errors, "; ".join(errors[:5]))


zip_files = {arch: sorted(os.listdir(os.path.join(unzipped, arch))) for arch in ARCHITECTURES}
zip_sha256 = {arch: sha(os.path.join(release, facts["zip"])) for arch, facts in ARCHITECTURES.items()}

# The published schemas are the reference; a missing folder is a failure, never a silent pass.
schemas_there = os.path.isdir(schemas)
check(f"the published schemas are in {schemas}", schemas_there,
      "the schema checks need the shared/ folder beside the source tree")
winget_dir = os.path.join(release, "winget")
winget_names = sorted(os.path.basename(path) for path in glob.glob(os.path.join(winget_dir, "*.yaml")))
check("winget/ holds a version, an installer and a locale manifest", len(winget_names) == 3, winget_names)

import yaml
winget = {}
for name in winget_names:
    with open(os.path.join(winget_dir, name), "rb") as file:
        manifest = yaml.load(file, Loader=yaml.CSafeLoader)  # libyaml, which winget reads with
    winget[manifest.get("ManifestType")] = (name, manifest)
scoop = json.load(open(os.path.join(release, "msitool.json")))
spdx = json.load(open(os.path.join(release, f"msitool-{version}.spdx.json")))

if schemas_there:
    for kind in ("version", "installer", "defaultLocale"):
        schema_check(f"the winget {kind} manifest", winget.get(kind, (None, {}))[1],
                     f"winget-1.10.0/manifest.{kind}.1.10.0.json")
    schema_check("the Scoop manifest", scoop, "scoop/schema.json")
    schema_check("the bill of materials", spdx, "spdx-2.3/spdx-schema.json")

# winget reads the three files as one package: same identifier and version, file names from them.
identifiers = {manifest.get("PackageIdentifier") for _, manifest in winget.values()}
identifier = identifiers.pop() if len(identifiers) == 1 else None
check("the winget manifests share one two-part PackageIdentifier",
      identifier is not None and len(identifier.split(".")) == 2, identifiers)
locale = winget.get("version", ("", {}))[1].get("DefaultLocale")
check("the winget files are named after the identifier and the default locale",
      winget_names == sorted([f"{identifier}.yaml", f"{identifier}.installer.yaml", f"{identifier}.locale.{locale}.yaml"]),
      winget_names)
products = [p for p in spdx["packages"] if p["SPDXID"] in spdx["documentDescribes"]]
check("every winget manifest, Scoop's and the bill's packages name the release's version",
      {manifest.get("PackageVersion") for _, manifest in winget.values()} == {version}
      and scoop.get("version") == version and {p.get("versionInfo") for p in products} == {version})

# One installer, one Scoop entry and one package of the bill for each zip, and no other.
installer = winget.get("installer", ("", {}))[1]
entries = {entry.get("Architecture"): entry for entry in installer.get("Installers", [])}
scoop_entries = scoop.get("architecture", {})
by_zip = {p.get("packageFileName"): p for p in products}
check("winget has one installer an architecture: x64 and x86",
      sorted(entries) == ["x64", "x86"] and len(installer.get("Installers", [])) == 2, list(entries))
check("Scoop has one download an architecture: 64bit and 32bit, and none for every architecture",
      sorted(scoop_entries) == ["32bit", "64bit"] and "url" not in scoop and "hash" not in scoop, scoop)
check("the bill describes one package a zip", sorted(by_zip) == sorted(f["zip"] for f in ARCHITECTURES.values())
      and len(products) == 2, sorted(by_zip))

folders = set()
for arch, facts in ARCHITECTURES.items():
    entry, scoop_entry, product = entries.get(facts["winget"], {}), scoop_entries.get(facts["scoop"], {}), by_zip.get(facts["zip"], {})

    def field(name):
        return entry.get(name, installer.get(name))
    nested = field("NestedInstallerFiles") or []
    check(f"{arch}: winget installs the zip's msitool.exe as a portable command msitool",
          field("InstallerType") == "zip" and field("NestedInstallerType") == "portable"
          and [(f.get("RelativeFilePath"), f.get("PortableCommandAlias")) for f in nested] == [("msitool.exe", "msitool")]
          and "msitool.exe" in zip_files[arch], entry)
    check(f"{arch}: Scoop's bin is a file of the zip", scoop.get("bin") in zip_files[arch], scoop.get("bin"))
    # An executable that asks for an administrator in its own manifest elevates itself.
    with open(os.path.join(unzipped, arch, "msitool.exe"), "rb") as file:
        level = re.search(rb'<requestedExecutionLevel level="(\w+)"', file.read())
    elevation = field("ElevationRequirement")
    check(f"{arch}: winget's ElevationRequirement is what its msitool.exe's manifest asks for",
          level is not None and elevation == ("elevatesSelf" if level[1] == b"requireAdministrator" else None),
          (level and level[1], elevation))

    hashes = {"winget": entry.get("InstallerSha256", "").lower(), "scoop": scoop_entry.get("hash", "").lower(),
              "spdx": [c["checksumValue"] for c in product.get("checksums", []) if c["algorithm"] == "SHA256"]}
    check(f"{arch}: winget, Scoop and the bill give {facts['zip']}'s SHA-256",
          hashes == {"winget": zip_sha256[arch], "scoop": zip_sha256[arch], "spdx": [zip_sha256[arch]]}, hashes)
    urls = {entry.get("InstallerUrl"), scoop_entry.get("url"), product.get("downloadLocation")}
    url = urls.pop() if len(urls) == 1 else ""
    check(f"{arch}: winget, Scoop and the bill give one address, ending in /{facts['zip']}",
          url.endswith("/" + facts["zip"]) and not urls, [url, *urls])
    folders.add(url[:-len(facts["zip"])])
    purls = [r["referenceLocator"] for r in product.get("externalRefs", [])
             if (r["referenceCategory"], r["referenceType"]) == ("PACKAGE-MANAGER", "purl")]
    base, _, qualifiers = (purls or [""])[0].partition("?")
    check(f"{arch}: its purl is pkg:generic/msitool@VERSION with arch={arch} and its address as download_url",
          len(purls) == 1 and base == f"pkg:generic/msitool@{version}"
          and urllib.parse.parse_qs(qualifiers) == {"arch": [arch], "download_url": [url]}, purls)

folder = folders.pop() if len(folders) == 1 else ""
check("both zips are downloaded from one folder", not folders, [folder, *folders])
if expected_folder:
    check("the download folder is the one given", folder == expected_folder, folder)
else:
    check("without a folder, a placeholder under example.invalid",
          urllib.parse.urlsplit(folder).hostname == "example.invalid" and folder.endswith("/"), folder)
namespace = spdx.get("documentNamespace", "")
check("the bill's namespace is under the project's page",
      namespace.startswith(scoop.get("homepage", "").rstrip("/") + "/"), namespace)

# Each package's files are its zip's, with their hashes, and its verification code is SPDX's.
files = {f["SPDXID"]: f for f in spdx.get("files", [])}
packages = {p["SPDXID"]: p for p in spdx["packages"]}
ids = set(packages) | set(files) | {"SPDXRef-DOCUMENT"}
dangling = [r for r in spdx.get("relationships", []) if r["spdxElementId"] not in ids or r["relatedSpdxElement"] not in ids]
check("every relationship joins elements of the bill", not dangling, dangling)
extracted = {info["licenseId"] for info in spdx.get("hasExtractedLicensingInfos", [])}
used = {word.strip("()") for p in spdx["packages"] for word in p.get("licenseDeclared", "").split()
        if word.strip("()").startswith("LicenseRef-")}
check("every LicenseRef that a package declares has its text in the bill", used <= extracted, used - extracted)
contained = {}
for r in spdx.get("relationships", []):
    if r["relationshipType"] == "CONTAINS":
        contained.setdefault(r["spdxElementId"], []).append(r["relatedSpdxElement"])


# The static components are the Debian packages that own what the compiler links, as installed now.
def owner(compiler, library):
    path = os.path.realpath(subprocess.run([compiler, f"-print-file-name={library}"], capture_output=True,
                                           text=True, check=True).stdout.strip())
    return subprocess.run(["dpkg", "-S", path], capture_output=True, text=True, check=True).stdout.split(":")[0]


for arch, facts in ARCHITECTURES.items():
    product = by_zip.get(facts["zip"], {})
    own = {files[i]["fileName"]: files[i] for i in product.get("hasFiles", []) if i in files}
    check(f"{arch}: the bill lists exactly the zip's files, as the package's and as what it contains",
          sorted(own) == ["./" + name for name in zip_files[arch]]
          and sorted(contained.get(product.get("SPDXID"), [])) == sorted(product.get("hasFiles", [])), sorted(own))
    for name in zip_files[arch]:
        listed = {c["algorithm"]: c["checksumValue"] for c in own.get("./" + name, {}).get("checksums", [])}
        path = os.path.join(unzipped, arch, name)
        check(f"{arch}: the bill gives {name}'s SHA-256 and SHA-1",
              listed.get("SHA256") == sha(path) and listed.get("SHA1") == sha(path, "sha1"), listed)
    code = hashlib.sha1("".join(sorted(sha(os.path.join(unzipped, arch, n), "sha1") for n in zip_files[arch]))
                        .encode()).hexdigest()
    check(f"{arch}: the package verification code is the SPDX one of the zip's files",
          product.get("packageVerificationCode", {}).get("packageVerificationCodeValue") == code)

    exe_id = own.get("./msitool.exe", {}).get("SPDXID")

    def related(kind):
        return [packages[r["relatedSpdxElement"]] for r in spdx.get("relationships", [])
                if r["spdxElementId"] == exe_id and r["relationshipType"] == kind and r["relatedSpdxElement"] in packages]

    linked = {owner(facts["compiler"], library)
              for library in ["libstdc++.a", "libgcc.a", "libwinpthread.a", "libmingwex.a", "crt2.o", "libmsvcrt.a"]}
    static = related("STATIC_LINK")
    purls = [ref["referenceLocator"] for p in static for ref in p.get("externalRefs", []) if ref["referenceType"] == "purl"]
    in_bill = {}
    for purl in purls:
        name, _, rest = purl[len("pkg:deb/debian/"):].partition("@")
        in_bill[name] = urllib.parse.unquote(rest.split("?")[0])
    installed = {}
    for name in in_bill:
        query = subprocess.run(["dpkg-query", "-W", "-f=${Version}", name], capture_output=True, text=True)
        installed[name] = query.stdout if query.returncode == 0 else None
    check(f"{arch}: the statically linked packages are the owners of the libraries its compiler links",
          set(in_bill) == linked and len(purls) == len(static), (sorted(in_bill), sorted(linked)))
    versions = {p["name"]: p.get("versionInfo") for p in static}
    purl_names = {p["name"]: ref["referenceLocator"][len("pkg:deb/debian/"):].partition("@")[0]
                  for p in static for ref in p.get("externalRefs", []) if ref["referenceType"] == "purl"}
    check(f"{arch}: their versions, in the purls and as versionInfo, are the ones installed on this machine",
          in_bill == installed and all(versions[n] == installed.get(purl_names.get(n)) for n in versions),
          (versions, installed))
    check(f"{arch}: libstdc++, libgcc, winpthreads and the mingw-w64 CRT are among them",
          all(any(word in p["name"] for p in static) for word in ("libstdc++", "libgcc", "winpthreads", "mingw-w64")),
          [p["name"] for p in static])
    check(f"{arch}: each of them declares a licence or says it cannot", all(p.get("licenseDeclared") for p in static))

    imports = pe_imports(os.path.join(unzipped, arch, "msitool.exe"))
    dynamic = sorted(p["name"].lower() for p in related("DYNAMIC_LINK"))
    check(f"{arch}: the bill's dynamic dependencies are its msitool.exe's imports",
          dynamic == sorted(n.lower() for n in imports), (dynamic, imports))

sys.exit(1 if failures else 0)
