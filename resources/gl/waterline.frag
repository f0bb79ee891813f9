#version 150 core
uniform vec3 color = vec3(1.0, 1.0, 0.0);
out vec4 fragColor;
void main()
{
    fragColor = vec4(color, 1.0);
}
