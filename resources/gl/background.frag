#version 150 core
// A soft gradient that shifts with the camera angles, so orientation is felt even
// when the plate is out of sight.
uniform float tilt;
uniform float yaw;
in vec2 screenPos;
out vec4 fragColor;
void main()
{
    float x = tilt / 90.0 + 1.0;
    float y = mod(yaw, 360.0) / 180.0 - 1.0;
    float u = screenPos.x;
    float v = screenPos.y;
    fragColor = vec4((x * x + u * u) / 40.0 + 0.8,
                     (y * y + v * v) / 40.0 + 0.8,
                     (u * u + v * v) / 40.0 + 0.8, 0.5);
}
