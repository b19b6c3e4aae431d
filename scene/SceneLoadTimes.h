#pragma once
// Where a scene load spent its time, in wall-clock milliseconds summed over every entry.
namespace ProjectTavrin {

struct SceneLoadTimes {
    double parseMs = 0.0;       ///< reading and decoding the PMX and VMD files
    double modelBuildMs = 0.0;  ///< building the models and binding their motions
    double physicsMs = 0.0;     ///< settling hair and cloth into each motion's first pose
    double texturesMs = 0.0;    ///< making the models' textures: waiting for their decoding, upload, mip chains
    double gpuUploadMs = 0.0;   ///< vertex, index and material buffers and the scene-wide GPU data
    /// Texture files decoded (each once, however many models and materials name it), the
    /// milliseconds their decoding took summed over the worker threads (mostly beside the model
    /// build and physics, so not part of the total), and the part of texturesMs spent waiting
    /// for decoding still under way.
    unsigned texturesDecoded = 0;
    double textureDecodeMs = 0.0;
    double textureWaitMs = 0.0;

    double TotalMs() const { return parseMs + modelBuildMs + physicsMs + texturesMs + gpuUploadMs; }
};

}  // namespace ProjectTavrin
