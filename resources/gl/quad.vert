#version 150 core
// A layer image laid flat at the cut height (view units).
uniform mat4 viewMatrix;
uniform float cutPlaneZ;
uniform float pFactor;
// Half height of the image in view units: rows of non-square pixels are stretched in the
// layer image, so it covers less than the unit square.
uniform float yExtent;
in vec2 inVertex;
out vec2 uv;
void main()
{
    uv = (inVertex + 1.0) / 2.0;
    vec4 p = viewMatrix * vec4(inVertex.x, inVertex.y * yExtent, cutPlaneZ, 1.0);
    if (pFactor > 1.0)
        p.w = p.z + pFactor;
    gl_Position = p;
}
