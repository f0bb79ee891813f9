#version 150 core
// The segment where each triangle crosses z = p0.
layout(triangles) in;
layout(line_strip, max_vertices = 2) out;
uniform mat4 viewMatrix;
uniform float p0;
uniform float pFactor;

void emitPoint(vec3 a)
{
    vec4 p = viewMatrix * vec4(a, 1.0);
    if (pFactor > 1.0)
        p.w = p.z + pFactor;
    gl_Position = p;
    EmitVertex();
}

void main()
{
    vec3 v[3];
    float d[3];
    for (int i = 0; i < 3; ++i) {
        v[i] = gl_in[i].gl_Position.xyz;
        d[i] = v[i].z - p0;
    }
    if ((d[0] > 0.0 && d[1] > 0.0 && d[2] > 0.0) || (d[0] < 0.0 && d[1] < 0.0 && d[2] < 0.0))
        return;
    int emitted = 0;
    for (int i = 0; i < 3 && emitted < 2; ++i) {
        int j = (i + 1) % 3;
        if ((d[i] < 0.0) != (d[j] < 0.0) && d[i] != d[j]) {
            float t = d[i] / (d[i] - d[j]);
            emitPoint(mix(v[i], v[j], t));
            ++emitted;
        }
    }
    if (emitted == 2)
        EndPrimitive();
}
