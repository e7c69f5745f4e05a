#!/usr/bin/python3
"""Points an application home at the local back end: writes the server settings into the home's
defaults file (Library/Preferences/brivanta.plist), keeping everything else it holds."""

import argparse
import os
import plistlib
import re
import sys

REPO = os.path.dirname(os.path.dirname(os.path.dirname(os.path.abspath(__file__))))


def bundle_version(bundle):
    """The version the application compares with "App_version" at start-up."""
    candidates = [bundle] if bundle else [os.path.join(REPO, "build", "bin", "Resources", "Info.plist")]
    for path in candidates:
        if path and os.path.isfile(path):
            with open(path, "rb") as f:
                version = plistlib.load(f).get("ShortVersion")
            if version:
                return version
    if bundle:
        sys.exit("configure_home: no ShortVersion in %s" % bundle)
    # No build yet: the version the build will put into the bundle.
    with open(os.path.join(REPO, "CMakeLists.txt"), encoding="utf-8") as f:
        found = re.search(r"project\(\s*\w+\s+VERSION\s+([0-9.]+)", f.read())
    if not found:
        sys.exit("configure_home: cannot tell the bundle's version; pass --bundle-info")
    return found.group(1)


def main():
    parser = argparse.ArgumentParser(description=__doc__.splitlines()[0])
    parser.add_argument("home", help="the application's home folder ($BRIVANTA_HOME)")
    parser.add_argument("--host", default="127.0.0.1")
    parser.add_argument("--port", type=int, default=58080, help="the command port")
    parser.add_argument("--file-port", type=int, default=58081, help="the file port")
    parser.add_argument("--image-path", default="brivanta_saas")
    parser.add_argument("--bundle-info", help="the bundle's Info.plist (default: build/bin/Resources/Info.plist)")
    args = parser.parse_args()

    path = os.path.join(args.home, "Library", "Preferences", "brivanta.plist")
    settings = {}
    if os.path.isfile(path):
        with open(path, "rb") as f:
            try:
                settings = plistlib.load(f)
            except Exception as error:  # a damaged file is not silently replaced
                sys.exit("configure_home: cannot read %s: %s" % (path, error))
        if not isinstance(settings, dict):
            sys.exit("configure_home: %s does not hold a dictionary" % path)
    settings.update({"IP": args.host, "Port": args.port, "ImageIP": args.host, "ImagePort": args.file_port,
                     "ImagePath": args.image_path})
    # A launch whose version differs from the stored one resets the server settings.
    if not str(settings.get("App_version", "")).strip():
        settings["App_version"] = bundle_version(args.bundle_info)
    os.makedirs(os.path.dirname(path), exist_ok=True)
    temporary = path + ".tmp"
    with open(temporary, "wb") as f:
        plistlib.dump(settings, f, fmt=plistlib.FMT_XML)
    os.replace(temporary, path)
    print("%s: commands %s:%d, files %s:%d, version %s" % (path, args.host, args.port, args.host, args.file_port,
                                                           settings["App_version"]))


if __name__ == "__main__":
    main()
