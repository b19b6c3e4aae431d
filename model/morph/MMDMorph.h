#pragma once
// A named, weighted deformation of a model. The morph itself holds only its kind, its weight and
// where its offsets live; the offsets are in the morph manager's list for its kind.
#include <cstdint>
#include <string>

namespace Vesma {

enum class MorphType : uint8_t {
    None = 0,  // kinds that exist by name only (additional UVs, flip, impulse)
    Position = 1,
    UV = 2,
    Material = 3,
    Bone = 4,
    Group = 5,
};

class MMDMorph {
public:
    MMDMorph() = default;
    MMDMorph(const MMDMorph&) = delete;
    MMDMorph& operator=(const MMDMorph&) = delete;

    MorphType GetType() const { return m_type; }
    void SetType(MorphType type) { m_type = type; }
    /// Index of this morph's offset list in the manager's list for its kind (0 for None).
    uint64_t GetListIndex() const { return m_listIndex; }
    void SetListIndex(uint64_t index) { m_listIndex = index; }

    const std::u16string& GetName() const { return m_name; }
    void SetName(std::u16string name) { m_name = std::move(name); }

    /// Current weight, written by the motion.
    float GetWeight() const { return m_weight; }
    void SetWeight(float weight) { m_weight = weight; }
    /// The weight a weighted motion blend starts from.
    float GetBaseWeight() const { return m_baseWeight; }
    void SetBaseWeight(float weight) { m_baseWeight = weight; }
    void SaveBaseAnimation() { m_baseWeight = m_weight; }
    void ClearBaseAnimation() { m_baseWeight = 0.0f; }

private:
    MorphType m_type = MorphType::None;
    uint64_t m_listIndex = 0;
    std::u16string m_name;
    float m_weight = 0.0f;
    float m_baseWeight = 0.0f;
};

}  // namespace Vesma
