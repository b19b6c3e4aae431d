// Builds a whole model from arbitrary PMX bytes and runs one frame of its update (ModelFrame) with
// a motion read from the rest of the input: motion evaluation, morphs, nodes, IK, a physics step,
// the bones that deform after physics and the skinning of every vertex. Input: a 4-byte
// little-endian PMX length, the frame as a 4-byte float, the PMX bytes, then the VMD bytes. Hostile bone indices in vertices, faces past the vertex list, NaN keys and frames must
// neither crash, hang nor read out of bounds.
#include <cstddef>
#include <cstdint>
#include <cstring>
#include <memory>
#include <span>
#include <vector>

#include "core/MessageLog.h"
#include "model/ModelFrame.h"
#include "model/PMXModel.h"
#include "model/io/PmxReader.h"
#include "model/motion/VMDModelAnimation.h"
#include "model/io/VmdReader.h"

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
    if (size < 8) return 0;
    uint32_t pmxSize = 0;
    std::memcpy(&pmxSize, data, 4);
    float frame = 0.0f;
    std::memcpy(&frame, data + 4, 4);
    data += 8;
    size -= 8;
    if (pmxSize > size) pmxSize = static_cast<uint32_t>(size);

    Vesma::PMXFile pmx;
    if (!Vesma::ReadPMXFile(pmx, std::span<const uint8_t>(data, pmxSize))) {
        MessageLog::Instance().Clear();
        return 0;
    }
    auto model = std::make_shared<Vesma::PMXModel>();
    model->SetWorkerCount(2);
    model->Load(std::move(pmx), u"fuzz");

    Vesma::VMDModelAnimation motion;
    motion.Bind(model);
    Vesma::VMDFile vmd;
    if (Vesma::ReadVMDFile(vmd, std::vector<uint8_t>(data + pmxSize, data + size))) motion.AddMotion(vmd);

    model->ResetPose();
    Vesma::ModelFrame job;
    job.model = model.get();
    job.animation = &motion;
    job.frame = frame;
    job.physicsSeconds = 1.0f / 30.0f;
    if (job.Validate()) {
        job.Run();
    } else {
        // The job refuses a frame that is not finite; the motion itself must still take it.
        motion.Evaluate(frame);
    }
    MessageLog::Instance().Clear();
    return 0;
}
