#version 460
// Red, with the instance's custom index in green so the test sees the instance data arrive.
#extension GL_EXT_ray_tracing : require

layout(location = 0) rayPayloadInEXT vec4 payload;

void main() {
    payload = vec4(1.0, float(gl_InstanceCustomIndexEXT) / 255.0, 0.0, 1.0);
}
