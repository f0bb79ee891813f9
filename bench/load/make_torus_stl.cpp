// Writes a closed torus as binary or ASCII STL, for the loading benchmark.
//   make_torus_stl [--ascii] [--triangles N] [--scale F] [--inside-out | --mixed] OUTPUT
// --inside-out winds every triangle inward, --mixed every second one (broken models for the
// repair to mend).
// The torus has 2·around·across triangles and around·across distinct vertices; neighbouring
// triangles share their corners bit for bit, so welding gives a closed mesh.
#include <cmath>
#include <cstdint>
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <string>
#include <utility>
#include <vector>

int main(int argc, char **argv)
{
    bool ascii = false;
    bool insideOut = false, mixed = false;
    long triangles = 1000000;
    double scale = 1.0;
    const char *out = nullptr;
    for (int i = 1; i < argc; ++i) {
        if (!std::strcmp(argv[i], "--ascii"))
            ascii = true;
        else if (!std::strcmp(argv[i], "--inside-out"))
            insideOut = true;
        else if (!std::strcmp(argv[i], "--mixed"))
            mixed = true;
        else if (!std::strcmp(argv[i], "--triangles") && i + 1 < argc)
            triangles = std::atol(argv[++i]);
        else if (!std::strcmp(argv[i], "--scale") && i + 1 < argc)
            scale = std::atof(argv[++i]);
        else
            out = argv[i];
    }
    if (!out || triangles < 8 || !(scale > 0)) {
        std::fprintf(stderr, "usage: make_torus_stl [--ascii] [--triangles N] [--scale F] [--inside-out | --mixed] OUTPUT\n");
        return 2;
    }
    // Ring segments twice the tube segments: 2·around·across = triangles.
    const long across = std::max(2L, long(std::lround(std::sqrt(double(triangles) / 4.0))));
    const long around = std::max(4L, triangles / (2 * across));
    // mm, fits a resin printer's plate; --scale fits it to a smaller one (a 12K panel is 97 mm deep)
    const double R = 40.0 * scale, r = 12.0 * scale;
    std::vector<float> grid(size_t(around * across * 3));
    for (long i = 0; i < around; ++i) {
        const double u = 2 * M_PI * double(i) / double(around);
        for (long j = 0; j < across; ++j) {
            const double v = 2 * M_PI * double(j) / double(across);
            float *p = &grid[size_t(i * across + j) * 3];
            p[0] = float((R + r * std::cos(v)) * std::cos(u));
            p[1] = float((R + r * std::cos(v)) * std::sin(u));
            p[2] = float(r + r * std::sin(v));
        }
    }
    FILE *f = std::fopen(out, "wb");
    if (!f) {
        std::perror(out);
        return 1;
    }
    std::vector<char> buffer(1 << 22);
    std::setvbuf(f, buffer.data(), _IOFBF, buffer.size());
    const uint32_t count = uint32_t(2 * around * across);
    if (ascii) {
        std::fprintf(f, "solid torus\n");
    } else {
        char header[80];
        std::memset(header, ' ', sizeof header);
        std::memcpy(header, "solid torus (binary)", 20);   // as some exporters write it
        std::fwrite(header, 1, 80, f);
        std::fwrite(&count, 4, 1, f);   // the benchmark machines are little-endian
    }
    auto corner = [&](long i, long j) { return &grid[size_t((i % around) * across + (j % across)) * 3]; };
    long written = 0;
    auto facet = [&](const float *a, const float *b, const float *c) {
        if (insideOut || (mixed && written % 2 == 1))
            std::swap(b, c);
        ++written;
        float n[3] = {(b[1] - a[1]) * (c[2] - a[2]) - (b[2] - a[2]) * (c[1] - a[1]),
                      (b[2] - a[2]) * (c[0] - a[0]) - (b[0] - a[0]) * (c[2] - a[2]),
                      (b[0] - a[0]) * (c[1] - a[1]) - (b[1] - a[1]) * (c[0] - a[0])};
        const float len = std::sqrt(n[0] * n[0] + n[1] * n[1] + n[2] * n[2]);
        for (float &x : n)
            x = len > 0 ? x / len : 0;
        if (ascii) {
            std::fprintf(f, "  facet normal %e %e %e\n    outer loop\n", n[0], n[1], n[2]);
            for (const float *p : {a, b, c})
                std::fprintf(f, "      vertex %e %e %e\n", p[0], p[1], p[2]);
            std::fprintf(f, "    endloop\n  endfacet\n");
        } else {
            std::fwrite(n, 4, 3, f);
            std::fwrite(a, 4, 3, f);
            std::fwrite(b, 4, 3, f);
            std::fwrite(c, 4, 3, f);
            const uint16_t attribute = 0;
            std::fwrite(&attribute, 2, 1, f);
        }
    };
    for (long i = 0; i < around; ++i) {
        for (long j = 0; j < across; ++j) {
            const float *p00 = corner(i, j), *p10 = corner(i + 1, j);
            const float *p01 = corner(i, j + 1), *p11 = corner(i + 1, j + 1);
            facet(p00, p10, p11);
            facet(p00, p11, p01);
        }
    }
    if (ascii)
        std::fprintf(f, "endsolid torus\n");
    if (std::fclose(f) != 0) {
        std::perror(out);
        return 1;
    }
    std::printf("%s: %u triangles, %ld vertices\n", out, count, around * across);
    return 0;
}
