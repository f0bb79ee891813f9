#version 150 core
uniform float conflict;
in vec2 uv;
out vec4 fragColor;
void main()
{
    vec2 f = fract(uv * 10.0);
    bool onLine = f.x < 0.02 || f.x > 0.98 || f.y < 0.02 || f.y > 0.98;
    float t = onLine ? 0.6 : 0.2;
    if (conflict >= 0.5)
        fragColor = vec4(t, t / 2.0, t / 2.0, 0.3);   // objects outside the build volume
    else
        fragColor = vec4(t, t, t, 0.3);
}
