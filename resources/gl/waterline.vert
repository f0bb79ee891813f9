#version 150 core
uniform mat4 modelMatrix;
in vec3 inVertex;
void main()
{
    gl_Position = modelMatrix * vec4(inVertex, 1.0);
}
