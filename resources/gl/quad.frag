#version 150 core
uniform sampler2D tex;
uniform int textureId;
in vec2 uv;
out vec4 fragColor;
void main()
{
    vec4 t = texture(tex, uv);
    if (t.r == 0.0)
        discard;
    if (textureId == 0)
        fragColor = vec4(0.0, 0.0, t.b, 1.0);
    else if (textureId == 1)
        fragColor = vec4(0.0, t.g, 0.0, 1.0);
    else
        fragColor = vec4(t.r, 0.3 * t.r, 0.0, 0.8);
}
