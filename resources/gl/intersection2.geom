#version 150 core
// Outline of the cross-section at z = p0: for every triangle that the plane crosses,
// the two points where it crosses the two edges whose ends lie on different sides.
layout(triangles) in;
layout(points, max_vertices = 2) out;

uniform float p0;
uniform float scale_x;
uniform float scale_y;

out vec3 CustomPoint;

void emitCrossing(vec3 a, vec3 b, float da, float db)
{
    vec3 q = mix(a, b, da / (da - db));
    CustomPoint = vec3(q.x * scale_x, q.y * scale_y, q.z);
    EmitVertex();
    EndPrimitive();
}

void main()
{
    vec3 v[3];
    float d[3];
    bool above[3];
    for (int k = 0; k < 3; ++k) {
        v[k] = gl_in[k].gl_Position.xyz;
        d[k] = v[k].z - p0;
        above[k] = d[k] >= 0.0;
    }
    if (above[0] == above[1] && above[1] == above[2])
        return;
    // Exactly two edges change side; their ends have distances of opposite sign, so the
    // denominators are never zero.
    for (int k = 0; k < 3; ++k) {
        int n = (k + 1) % 3;
        if (above[k] != above[n])
            emitCrossing(v[k], v[n], d[k], d[n]);
    }
}
