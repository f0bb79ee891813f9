#version 150 core
// Ray/triangle test per triangle; each hit is captured as two records: the point, then
// the unit face normal.
layout(triangles) in;
layout(points, max_vertices = 2) out;
uniform vec3 rayStart;
uniform vec3 rayVector;
out vec3 CustomPoint;
void main()
{
    vec3 a = gl_in[0].gl_Position.xyz;
    vec3 b = gl_in[1].gl_Position.xyz;
    vec3 c = gl_in[2].gl_Position.xyz;
    vec3 e1 = b - a;
    vec3 e2 = c - a;
    vec3 p = cross(rayVector, e2);
    float det = dot(e1, p);
    if (abs(det) < 1e-20)
        return;
    vec3 s = rayStart - a;
    float u = dot(s, p) / det;
    if (u < 0.0 || u > 1.0)
        return;
    vec3 q = cross(s, e1);
    float v = dot(rayVector, q) / det;
    if (v < 0.0 || u + v > 1.0)
        return;
    float t = dot(e2, q) / det;
    if (t <= 0.0)
        return;
    CustomPoint = rayVector * t + rayStart;
    gl_Position = vec4(CustomPoint, 1.0);
    EmitVertex();
    EndPrimitive();
    CustomPoint = normalize(cross(e1, e2));
    gl_Position = vec4(CustomPoint, 1.0);
    EmitVertex();
    EndPrimitive();
}
