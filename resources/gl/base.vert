#version 150 core
// Build-plate grid: 2D plate coordinates in mm, lifted just above zmin.
uniform mat4 modelMatrix;
uniform mat4 viewMatrix;
uniform float zmin;
uniform float pFactor;
in vec2 inVertex;
out vec2 uv;
void main()
{
    uv = (inVertex + 25.0) / 50.0;
    vec4 p = viewMatrix * modelMatrix * vec4(inVertex, zmin + 0.001, 1.0);
    if (pFactor > 1.0)
        p.w = p.z + pFactor;
    gl_Position = p;
}
