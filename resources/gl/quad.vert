#version 150 core
// A layer image laid flat at the cut height (view units).
uniform mat4 viewMatrix;
uniform float cutPlaneZ;
uniform float pFactor;
in vec2 inVertex;
out vec2 uv;
void main()
{
    uv = (inVertex + 1.0) / 2.0;
    vec4 p = viewMatrix * vec4(inVertex, cutPlaneZ, 1.0);
    if (pFactor > 1.0)
        p.w = p.z + pFactor;
    gl_Position = p;
}
