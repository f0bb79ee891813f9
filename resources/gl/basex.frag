#version 150 core
in vec2 uv;
out vec4 fragColor;
void main()
{
    ivec2 cell = ivec2(floor(uv * 5.0));
    float g = ((cell.x + cell.y) & 1) == 0 ? 0.5 : 0.3;
    fragColor = vec4(g, g, g, 0.1);
}
