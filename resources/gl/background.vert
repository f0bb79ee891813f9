#version 150 core
// Full-screen quad; inVertex spans -1 … 1.
in vec2 inVertex;
out vec2 screenPos;
void main()
{
    screenPos = inVertex;
    gl_Position = vec4(inVertex, -1.0, 1.0);
}
