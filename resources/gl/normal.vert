#version 150 core
in vec3 inVertex;
uniform mat4 modelMatrix;
uniform float pFactor;

void main()
{
    vec4 p = modelMatrix * vec4(inVertex, 1.0);
    if (pFactor > 1.0)
        p.w = p.z + pFactor;   // the geometry stage reads xyz only
    gl_Position = p;
}
