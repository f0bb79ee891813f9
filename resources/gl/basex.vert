#version 150 core
uniform mat4 modelMatrix;
uniform mat4 viewMatrix;
uniform float pFactor;
in vec2 inVertex;
out vec2 uv;
void main()
{
    uv = (inVertex + 15.0) / 30.0;
    vec4 p = viewMatrix * modelMatrix * vec4(inVertex, -0.0001, 1.0);
    if (pFactor > 1.0)
        p.w = p.z + pFactor;
    gl_Position = p;
}
