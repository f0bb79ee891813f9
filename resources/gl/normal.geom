#version 150 core
// One sample per triangle that crosses z = zPos and is within 70° of horizontal:
// the cosine between its normal and straight down.
layout(triangles) in;
layout(points, max_vertices = 1) out;

uniform float zPos;

out float dotP;

void main()
{
    vec3 a = gl_in[0].gl_Position.xyz;
    vec3 b = gl_in[1].gl_Position.xyz;
    vec3 c = gl_in[2].gl_Position.xyz;
    float za = zPos - a.z;
    float zb = zPos - b.z;
    float zc = zPos - c.z;
    if ((za > 0.0 && zb > 0.0 && zc > 0.0) || (za < 0.0 && zb < 0.0 && zc < 0.0))
        return;
    vec3 n = cross(b - a, c - a);
    float len = length(n);
    if (len <= 0.0)
        return;   // a degenerate triangle has no direction
    float p = dot(vec3(0.0, 0.0, -1.0), n / len);
    if (abs(p) < 0.342)
        return;
    dotP = p;
    EmitVertex();
    EndPrimitive();
}
