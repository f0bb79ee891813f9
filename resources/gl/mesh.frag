#version 150 core
// Head-light shading with normals from screen-space derivatives (meshes carry no normals),
// plus the overhang colouring used while supports are edited.
struct Light { vec3 position; vec3 ambient; vec3 diffuse; vec3 specular; };
struct Material { vec3 ambient; vec3 diffuse; vec3 specular; float shininess; };
uniform Light light;
uniform Material material;
uniform vec3 viewPos;
uniform float zoom;
uniform float opacity;
uniform float out_angle;
uniform float cri_angle;
in vec3 worldPos;
in vec3 eyePos;
out vec4 fragColor;
void main()
{
    // Eye space looks along +z; lighting works with the viewer on the +z side.
    vec3 p = vec3(eyePos.xy, -eyePos.z);
    vec3 n = normalize(cross(dFdx(p), dFdy(p)));
    // The view scales x and y by zoom but z by 0.5; undo that so the shading shows the
    // true slope of a face at every zoom.
    n.z *= 0.5 / max(zoom, 0.001);
    n = normalize(n);

    vec3 toLight = normalize(light.position - p);
    vec3 toViewer = normalize(viewPos - p);
    vec3 ambient = light.ambient * material.ambient;
    vec3 diffuse = light.diffuse * material.diffuse * max(dot(n, toLight), 0.0);
    vec3 reflected = reflect(-toLight, n);
    vec3 specular = light.specular * material.specular
                    * pow(max(dot(toViewer, reflected), 0.0), material.shininess);
    vec4 c = vec4(ambient + diffuse + specular, opacity);

    // Screen x, screen y and the direction to the viewer form a right-handed frame, so
    // the derivative cross product of world positions is the normal of the visible side.
    vec3 faceNormal = normalize(cross(dFdx(worldPos), dFdy(worldPos)));
    float dp = dot(faceNormal, vec3(0.0, 0.0, -1.0));
    vec4 lit = c;
    if (dp > out_angle)
        c = vec4(lit.r * dp * 1.2, lit.g * dp * 0.8, lit.b * 0.4, 1.0);
    if (dp >= cri_angle)
        c = vec4(lit.r * dp * 1.2, lit.g * dp * 0.2, lit.b * 0.4, 1.0);
    if (!gl_FrontFacing)
        c = vec4(lit.r * 1.2, lit.g * 0.2, lit.b * 0.2, opacity);
    fragColor = c;
}
