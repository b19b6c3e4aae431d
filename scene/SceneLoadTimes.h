#pragma once
// Where a scene load spent its time, in wall-clock milliseconds summed over every entry.
namespace ProjectTavrin {

struct SceneLoadTimes {
    double parseMs = 0.0;       ///< reading and decoding the PMX and VMD files
    double modelBuildMs = 0.0;  ///< building the models and binding their motions
    double physicsMs = 0.0;     ///< settling hair and cloth into each motion's first pose
    double texturesMs = 0.0;    ///< loading, decoding and uploading the models' textures
    double gpuUploadMs = 0.0;   ///< vertex, index and material buffers and the scene-wide GPU data

    double TotalMs() const { return parseMs + modelBuildMs + physicsMs + texturesMs + gpuUploadMs; }
};

}  // namespace ProjectTavrin
