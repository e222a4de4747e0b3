#!/usr/bin/env python3
"""What winget, Scoop and an SPDX scanner check in a release, and what an administrator compares.

consumer-checks.py RELEASE_DIR UNZIPPED_DIR SCHEMAS_DIR VERSION COMPILER [DOWNLOAD_URL]

Prints one "ok:" or "FAILED:" line per check and exits 1 when any failed. Without DOWNLOAD_URL the
manifests must name a placeholder address under example.invalid.
"""
import glob
import hashlib
import json
import os
import struct
import subprocess
import sys
import urllib.parse

release, unzipped, schemas, version, compiler = sys.argv[1:6]
expected_url = sys.argv[6] if len(sys.argv) > 6 else None
failures = 0


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
    sections, optional_size = struct.unpack_from("<H", data, pe + 6)[0], struct.unpack_from("<H", data, pe + 20)[0]
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


zip_name = f"msitool-{version}-win32-x86.zip"
zip_path = os.path.join(release, zip_name)
zip_sha256 = sha(zip_path)
zip_files = sorted(os.listdir(unzipped))

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
spdx_path = os.path.join(release, zip_name[:-len(".zip")] + ".spdx.json")
spdx = json.load(open(spdx_path))

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
check("every winget manifest, Scoop's and the bill name the release's version",
      {manifest.get("PackageVersion") for _, manifest in winget.values()} == {version}
      and scoop.get("version") == version
      and [p.get("versionInfo") for p in spdx["packages"] if p["SPDXID"] in spdx["documentDescribes"]] == [version])

installer = winget.get("installer", ("", {}))[1]
entries = installer.get("Installers", [{}])
nested = installer.get("NestedInstallerFiles") or entries[0].get("NestedInstallerFiles") or []
check("winget installs the zip's msitool.exe as a portable command msitool, for x86",
      installer.get("InstallerType", entries[0].get("InstallerType")) == "zip"
      and installer.get("NestedInstallerType", entries[0].get("NestedInstallerType")) == "portable"
      and [(f.get("RelativeFilePath"), f.get("PortableCommandAlias")) for f in nested] == [("msitool.exe", "msitool")]
      and "msitool.exe" in zip_files and [e.get("Architecture") for e in entries] == ["x86"], installer)
check("Scoop's bin is a file of the zip", scoop.get("bin") in zip_files, scoop.get("bin"))

described = [p for p in spdx["packages"] if p["SPDXID"] in spdx["documentDescribes"]]
product = described[0] if len(described) == 1 else {}
hashes = {
    "winget": [e.get("InstallerSha256", "").lower() for e in entries],
    "scoop": [scoop.get("hash", "").lower()],
    "spdx": [c["checksumValue"] for c in product.get("checksums", []) if c["algorithm"] == "SHA256"],
}
check("winget, Scoop and the bill give the zip's SHA-256", all(h == [zip_sha256] for h in hashes.values()), hashes)
urls = {"winget": [e.get("InstallerUrl") for e in entries], "scoop": [scoop.get("url")],
        "spdx": [product.get("downloadLocation")]}
check("winget, Scoop and the bill give one download address", len({u for v in urls.values() for u in v}) == 1, urls)
url = urls["scoop"][0] or ""
if expected_url:
    check("the download address is the one given", url == expected_url, url)
else:
    check("without an address, a placeholder under example.invalid ends with the zip's name",
          urllib.parse.urlsplit(url).hostname == "example.invalid" and url.endswith("/" + zip_name), url)
check("the bill names the zip", product.get("packageFileName") == zip_name, product.get("packageFileName"))
purls = [r["referenceLocator"] for r in product.get("externalRefs", [])
         if (r["referenceCategory"], r["referenceType"]) == ("PACKAGE-MANAGER", "purl")]
base, _, qualifiers = (purls or [""])[0].partition("?")
check("the product's purl is pkg:generic/msitool@VERSION with the download address as download_url",
      len(purls) == 1 and base == f"pkg:generic/msitool@{version}"
      and urllib.parse.parse_qs(qualifiers) == {"download_url": [url]}, purls)
namespace = spdx.get("documentNamespace", "")
check("the bill's namespace is under the project's page",
      namespace.startswith(scoop.get("homepage", "").rstrip("/") + "/"), namespace)

# The bill's files are the zip's, with their hashes, and its verification code is SPDX's.
files = {f["fileName"]: f for f in spdx.get("files", [])}
check("the bill lists exactly the zip's files", sorted(files) == ["./" + name for name in zip_files], sorted(files))
for name in zip_files:
    listed = {c["algorithm"]: c["checksumValue"] for c in files.get("./" + name, {}).get("checksums", [])}
    path = os.path.join(unzipped, name)
    check(f"the bill gives {name}'s SHA-256 and SHA-1",
          listed.get("SHA256") == sha(path) and listed.get("SHA1") == sha(path, "sha1"), listed)
code = hashlib.sha1("".join(sorted(sha(os.path.join(unzipped, n), "sha1") for n in zip_files)).encode()).hexdigest()
check("the package verification code is the SPDX one of the zip's files",
      product.get("packageVerificationCode", {}).get("packageVerificationCodeValue") == code)
check("the product package has the bill's files",
      sorted(product.get("hasFiles", [])) == sorted(f["SPDXID"] for f in files.values()))

ids = {element["SPDXID"] for element in spdx["packages"] + spdx.get("files", [])} | {"SPDXRef-DOCUMENT"}
dangling = [r for r in spdx.get("relationships", []) if r["spdxElementId"] not in ids or r["relatedSpdxElement"] not in ids]
check("every relationship joins elements of the bill", not dangling, dangling)
extracted = {info["licenseId"] for info in spdx.get("hasExtractedLicensingInfos", [])}
used = {word.strip("()") for p in spdx["packages"] for word in p.get("licenseDeclared", "").split()
        if word.strip("()").startswith("LicenseRef-")}
check("every LicenseRef that a package declares has its text in the bill", used <= extracted, used - extracted)

exe_id = files.get("./msitool.exe", {}).get("SPDXID")
packages = {p["SPDXID"]: p for p in spdx["packages"]}


def related(kind):
    return [packages[r["relatedSpdxElement"]] for r in spdx.get("relationships", [])
            if r["spdxElementId"] == exe_id and r["relationshipType"] == kind and r["relatedSpdxElement"] in packages]


# The static components are the Debian packages that own what the compiler links, as installed now.
def owner(library):
    path = os.path.realpath(subprocess.run([compiler, f"-print-file-name={library}"], capture_output=True,
                                           text=True, check=True).stdout.strip())
    return subprocess.run(["dpkg", "-S", path], capture_output=True, text=True, check=True).stdout.split(":")[0]


linked = {owner(library) for library in ["libstdc++.a", "libgcc.a", "libwinpthread.a", "libmingwex.a", "crt2.o", "libmsvcrt.a"]}
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
check("the statically linked packages are the owners of the libraries the compiler links",
      set(in_bill) == linked and len(purls) == len(static), (sorted(in_bill), sorted(linked)))
versions = {p["name"]: p.get("versionInfo") for p in static}
purl_names = {p["name"]: ref["referenceLocator"][len("pkg:deb/debian/"):].partition("@")[0]
              for p in static for ref in p.get("externalRefs", []) if ref["referenceType"] == "purl"}
check("their versions, in the purls and as versionInfo, are the ones installed on this machine",
      in_bill == installed and all(versions[n] == installed.get(purl_names.get(n)) for n in versions),
      (versions, installed))
check("libstdc++, libgcc, winpthreads and the mingw-w64 CRT are among them",
      all(any(word in p["name"] for p in static) for word in ("libstdc++", "libgcc", "winpthreads", "mingw-w64")),
      [p["name"] for p in static])
check("each of them declares a licence or says it cannot", all(p.get("licenseDeclared") for p in static))

imports = pe_imports(os.path.join(unzipped, "msitool.exe"))
dynamic = sorted(p["name"].lower() for p in related("DYNAMIC_LINK"))
check("the bill's dynamic dependencies are msitool.exe's imports", dynamic == sorted(n.lower() for n in imports),
      (dynamic, imports))

sys.exit(1 if failures else 0)
