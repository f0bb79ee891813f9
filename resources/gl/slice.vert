#version 150 core
// Cross-section pass: no view or projection matrix. Geometry above the cut plane is
// pushed beyond the far plane; the clip distance removes it too, so the pass can switch
// depth clamping on and keep geometry that lies far below the cut (tall models).
in vec3 inVertex;
uniform mat4 modelMatrix;
uniform float cutZ;
uniform float scale_x;
uniform float scale_y;

void main()
{
    vec4 p = modelMatrix * vec4(inVertex, 1.0);
    // Same boundary as the far plane below: kept where the shifted z stays at or under 1.
    gl_ClipDistance[0] = (cutZ > 0.0 ? cutZ - 0.000001 : 0.000001) - p.z;
    if (cutZ > 0.0)
        p.z += 1.0 - cutZ + 0.000001;
    else
        p.z += 1.0 - 0.000001;
    p.x *= 1.0 + scale_x;
    p.y *= 1.0 + scale_y;
    gl_Position = p;
}
