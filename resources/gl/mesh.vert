#version 150 core
// Lit objects. Perspective comes from replacing w by z + pFactor.
uniform mat4 modelMatrix;
uniform mat4 viewMatrix;
uniform vec4 ClipPlane;
uniform float pFactor;
in vec3 inVertex;
out vec3 worldPos;
out vec3 eyePos;
out float gl_ClipDistance[1];
void main()
{
    vec4 w = modelMatrix * vec4(inVertex, 1.0);
    vec4 p = viewMatrix * w;
    worldPos = w.xyz;
    eyePos = p.xyz;
    gl_ClipDistance[0] = dot(w, ClipPlane);
    if (pFactor > 1.0)
        p.w = p.z + pFactor;
    gl_Position = p;
}
