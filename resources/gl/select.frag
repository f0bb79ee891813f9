#version 150 core
// Object id + 1 as a 24-bit colour; black means "nothing".
uniform int code;
out vec4 fragColor;
void main()
{
    int c = code + 1;
    fragColor = vec4(float(c % 256) / 255.0,
                     float((c / 256) % 256) / 255.0,
                     float((c / 65536) % 256) / 255.0, 1.0);
}
