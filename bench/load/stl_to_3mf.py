#!/usr/bin/env python3
"""Writes a binary STL as a 3MF file (shared vertices, one object, one build item), for the
load benchmark: python3 stl_to_3mf.py MODEL.stl OUT.3mf"""
import struct
import sys
import zipfile


def main():
    src, out = sys.argv[1], sys.argv[2]
    with open(src, "rb") as f:
        data = f.read()
    (count,) = struct.unpack_from("<I", data, 80)
    index = {}
    vertices = []
    triangles = []
    for t in range(count):
        base = 84 + 50 * t + 12
        corners = []
        for c in range(3):
            key = data[base + 12 * c: base + 12 * c + 12]
            n = index.get(key)
            if n is None:
                n = index[key] = len(vertices)
                vertices.append(struct.unpack("<3f", key))
            corners.append(n)
        triangles.append(corners)
    parts = ['<?xml version="1.0" encoding="UTF-8"?>\n<model unit="millimeter" '
             'xmlns="http://schemas.microsoft.com/3dmanufacturing/core/2015/02">\n'
             '<resources><object id="1" type="model"><mesh><vertices>\n']
    parts += ['<vertex x="%.6g" y="%.6g" z="%.6g"/>\n' % v for v in vertices]
    parts.append("</vertices><triangles>\n")
    parts += ['<triangle v1="%d" v2="%d" v3="%d"/>\n' % tuple(t) for t in triangles]
    parts.append('</triangles></mesh></object></resources>\n<build><item objectid="1"/></build></model>\n')
    with zipfile.ZipFile(out, "w", zipfile.ZIP_DEFLATED) as z:
        z.writestr("[Content_Types].xml", '<?xml version="1.0"?><Types xmlns="http://schemas.openxmlformats.org/'
                   'package/2006/content-types"><Default Extension="model" ContentType="application/'
                   'vnd.ms-package.3dmanufacturing-3dmodel+xml"/></Types>')
        z.writestr("3D/3dmodel.model", "".join(parts))


if __name__ == "__main__":
    main()
