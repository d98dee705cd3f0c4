"""Prints where this interpreter looks for packages under PREFIX, relative to PREFIX.

usage: SitePackages.py PREFIX

Debian's interpreter looks in /usr/local/lib/python3.X/dist-packages and
/usr/lib/python3/dist-packages, and in the user's ~/.local/lib/python3.X/site-packages.
For a prefix it does not look into, prints lib/python3.X/site-packages and exits 3.
"""
import os
import site
import sys

prefix = os.path.realpath(sys.argv[1])
for folder in site.getsitepackages() + [site.getusersitepackages()]:
    relative = os.path.relpath(os.path.realpath(folder), prefix)
    if relative.split(os.sep)[0] in ("lib", "lib64"):
        print(relative)
        sys.exit(0)
print("lib/python%d.%d/site-packages" % sys.version_info[:2])
sys.exit(3)
