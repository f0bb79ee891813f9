#version 150 core
uniform mat4 modelMatrix;
uniform mat4 viewMatrix;
uniform float pFactor;
in vec3 inVertex;
void main()
{
    vec4 p = viewMatrix * modelMatrix * vec4(inVertex, 1.0);
    if (pFactor > 1.0)
        p.w = p.z + pFactor;
    gl_Position = p;
}
