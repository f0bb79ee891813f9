#version 150 core
uniform mat4 modelMatrix;
uniform mat4 viewMatrix;
in vec3 inVertex;
void main()
{
    gl_Position = viewMatrix * modelMatrix * vec4(inVertex, 1.0);
}
