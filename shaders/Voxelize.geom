#version 460
// Voxelisation, geometry stage: each triangle is projected along the axis its face points most
// along (x, y or z), so it covers as many pixels, hence voxels, as it can.
#include "Bindless.glsl"
#include "shared/VoxelGi.h"
TAVRIN_PUSH_CONSTANTS(VoxelizeDrawConstants, pc)
TAVRIN_BUFFER_REFERENCE(VoxelizationParameters)

layout(triangles) in;
layout(triangle_strip, max_vertices = 3) out;

layout(location = 0) in vec3 inWorldPos[];
layout(location = 1) in vec3 inNormal[];
layout(location = 2) in vec2 inTexCoord[];
layout(location = 0) out vec3 outWorldPos;
layout(location = 1) out vec3 outNormal;
layout(location = 2) out vec2 outTexCoord;

void main() {
    const VoxelizationParameters p = VoxelizationParametersRef(pc.parameters).data;
    const vec3 face = abs(cross(inWorldPos[1] - inWorldPos[0], inWorldPos[2] - inWorldPos[0]));
    const mat4 viewProj = face.x >= face.y && face.x >= face.z ? p._ViewProj0
                          : face.y >= face.z                   ? p._ViewProj1
                                                               : p._ViewProj2;
    for (int i = 0; i < 3; ++i) {
        gl_Position = vec4(inWorldPos[i], 1.0) * viewProj;
        outWorldPos = inWorldPos[i];
        outNormal = inNormal[i];
        outTexCoord = inTexCoord[i];
        EmitVertex();
    }
    EndPrimitive();
}
