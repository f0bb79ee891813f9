#version 150 core
uniform mat4 modelMatrix;
uniform mat4 viewMatrix;
uniform vec4 ClipPlane;
uniform float pFactor;
in vec3 inVertex;
out float gl_ClipDistance[1];
void main()
{
    vec4 w = modelMatrix * vec4(inVertex, 1.0);
    vec4 p = viewMatrix * w;
    gl_ClipDistance[0] = dot(w, ClipPlane);
    if (pFactor > 1.0)
        p.w = p.z + pFactor;
    gl_Position = p;
}
