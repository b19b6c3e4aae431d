// The body of the lane solver's kernel, for one set of lanes (`LaneSet`: the vector type and its
// operations). IkLaneSolver.cpp includes it once per instruction set it compiles the kernel for,
// with IK_LANE_KERNEL_HEAD naming the class; everything it uses is included there first.

IK_LANE_KERNEL_HEAD {
public:
    static constexpr int G = LaneSet::kGroups;
    static constexpr std::size_t kWidth = 4 * G;

    using VF = typename LaneSet::VF;
    struct Unpacked {
        alignas(16) float f[kWidth];
    };
    struct V3 {
        VF x, y, z;
        // Operators are members: GCC doesn't carry a target pragma over to friends defined in a class.
        V3 operator-(const V3& b) const { return {x - b.x, y - b.y, z - b.z}; }
    };
    struct Q4 {
        VF x, y, z, w;
        // The Hamilton product, term for term in the order of Math's quaternion product.
        Q4 operator*(const Q4& q) const {
            const Q4& p = *this;
            return {p.w * q.x + p.x * q.w + p.y * q.z - p.z * q.y, p.w * q.y - p.x * q.z + p.y * q.w + p.z * q.x,
                    p.w * q.z + p.x * q.y - p.y * q.x + p.z * q.w, p.w * q.w - p.x * q.x - p.y * q.y - p.z * q.z};
        }
    };
    struct M4 {
        VF m[4][4];
    };




    static VF Splat(float f) { return LaneSet::Splat(f); }
    static VF Sqrt(VF a) { return LaneSet::Sqrt(a); }
    // Masks: all bits set in a lane where the comparison holds.
    static VF Equal(VF a, VF b) { return LaneSet::Equal(a, b); }
    static VF Greater(VF a, VF b) { return LaneSet::Greater(a, b); }
    static VF LessOrEqual(VF a, VF b) { return LaneSet::LessOrEqual(a, b); }
    static VF And(VF a, VF b) { return LaneSet::And(a, b); }
    static VF AndNot(VF a, VF b) { return LaneSet::AndNot(a, b); }  // a and not b
    static VF Select(VF mask, VF a, VF b) { return LaneSet::Select(mask, a, b); }
    // Bit l set where lane l's mask is set.
    static int Bits(VF mask) { return LaneSet::Bits(mask); }
    static VF MaskOf(int bits) { return LaneSet::MaskOf(bits); }

    static Unpacked Unpack(VF a) {
        Unpacked u;
        LaneSet::Store(u.f, a);
        return u;
    }
    static VF Pack(const float (&f)[kWidth]) {
        return LaneSet::Load(f);
    }

    static VF Dot(const V3& a, const V3& b) { return a.x * b.x + a.y * b.y + a.z * b.z; }
    static VF Length(const V3& a) { return Sqrt(Dot(a, a)); }
    static V3 Cross(const V3& a, const V3& b) {
        return {a.y * b.z - a.z * b.y, a.z * b.x - a.x * b.z, a.x * b.y - a.y * b.x};
    }
    static V3 Select(VF mask, const V3& a, const V3& b) {
        return {Select(mask, a.x, b.x), Select(mask, a.y, b.y), Select(mask, a.z, b.z)};
    }
    // Math::Normalize: zero stays zero, an infinite squared length gives NaN.
    static V3 Normalize(const V3& v) {
        const VF lengthSq = Dot(v, v);
        const VF length = Sqrt(lengthSq);
        const V3 unit{v.x / length, v.y / length, v.z / length};
        const VF nan = Splat(std::numeric_limits<float>::quiet_NaN());
        const VF zero = Splat(0.0f);
        const VF isInf = Equal(lengthSq, Splat(std::numeric_limits<float>::infinity()));
        const VF isZero = Equal(length, zero);
        return Select(isInf, V3{nan, nan, nan}, Select(isZero, V3{zero, zero, zero}, unit));
    }

    static Q4 Select(VF mask, const Q4& a, const Q4& b) {
        return {Select(mask, a.x, b.x), Select(mask, a.y, b.y), Select(mask, a.z, b.z), Select(mask, a.w, b.w)};
    }
    static Q4 IdentityQ4() { return {Splat(0), Splat(0), Splat(0), Splat(1)}; }


    // a * b for an affine a, as Math::MultiplyAffine adds: rows of b, then b's last row. Only the
    // first three columns: a global's last column feeds nothing but the last columns below it, and the
    // solve reads rotations and positions alone.
    static void MultiplyAffine(const M4& a, const M4& b, M4& r) {
        const VF b00 = b.m[0][0], b01 = b.m[0][1], b02 = b.m[0][2];
        const VF b10 = b.m[1][0], b11 = b.m[1][1], b12 = b.m[1][2];
        const VF b20 = b.m[2][0], b21 = b.m[2][1], b22 = b.m[2][2];
        for (int i = 0; i < 3; ++i) {
            const VF a0 = a.m[i][0], a1 = a.m[i][1], a2 = a.m[i][2];
            r.m[i][0] = a0 * b00 + a1 * b10 + a2 * b20;
            r.m[i][1] = a0 * b01 + a1 * b11 + a2 * b21;
            r.m[i][2] = a0 * b02 + a1 * b12 + a2 * b22;
        }
        const VF a0 = a.m[3][0], a1 = a.m[3][1], a2 = a.m[3][2];
        r.m[3][0] = a0 * b00 + a1 * b10 + a2 * b20 + b.m[3][0];
        r.m[3][1] = a0 * b01 + a1 * b11 + a2 * b21 + b.m[3][1];
        r.m[3][2] = a0 * b02 + a1 * b12 + a2 * b22 + b.m[3][2];
    }
    // The last row alone (the position), for globals whose rotation nothing reads.
    static void MultiplyAffinePosition(const M4& a, const M4& b, M4& r) {
        const VF a0 = a.m[3][0], a1 = a.m[3][1], a2 = a.m[3][2];
        r.m[3][0] = a0 * b.m[0][0] + a1 * b.m[1][0] + a2 * b.m[2][0] + b.m[3][0];
        r.m[3][1] = a0 * b.m[0][1] + a1 * b.m[1][1] + a2 * b.m[2][1] + b.m[3][1];
        r.m[3][2] = a0 * b.m[0][2] + a1 * b.m[1][2] + a2 * b.m[2][2] + b.m[3][2];
    }
    // The full product (a's last column not zero), first three columns as above.
    static void Multiply(const M4& a, const M4& b, M4& r) {
        for (int i = 0; i < 4; ++i) {
            for (int j = 0; j < 3; ++j) {
                r.m[i][j] = a.m[i][0] * b.m[0][j] + a.m[i][1] * b.m[1][j] + a.m[i][2] * b.m[2][j] + a.m[i][3] * b.m[3][j];
            }
        }
    }

    // Lane l of the result is get(l); lanes past `count` repeat lane 0.
    template <class Get>
    static VF Gather(std::size_t count, Get get) {
        float f[kWidth];
        for (std::size_t l = 0; l < kWidth; ++l) f[l] = get(l < count ? l : 0);
        return Pack(f);
    }
    template <class Get>
    static V3 GatherVec3(std::size_t count, Get get) {
        return {Gather(count, [&](std::size_t l) { return get(l).x; }), Gather(count, [&](std::size_t l) { return get(l).y; }),
                Gather(count, [&](std::size_t l) { return get(l).z; })};
    }
    // Each lane's quaternion, loaded whole and transposed into x, y, z and w.
    template <class Get>
    static Q4 GatherQuat(std::size_t count, Get get) {
        __m128 x[G], y[G], z[G], w[G];
        for (int g = 0; g < G; ++g) {
            __m128 c[4];
            for (std::size_t l = 0; l < 4; ++l) {
                const std::size_t lane = 4 * g + l;
                const quat& q = get(lane < count ? lane : 0);
                c[l] = _mm_setr_ps(q.x, q.y, q.z, q.w);
            }
            _MM_TRANSPOSE4_PS(c[0], c[1], c[2], c[3]);
            x[g] = c[0];
            y[g] = c[1];
            z[g] = c[2];
            w[g] = c[3];
        }
        return {LaneSet::Combine(x), LaneSet::Combine(y), LaneSet::Combine(z), LaneSet::Combine(w)};
    }
    // Each row of the lanes' matrices, turned into one VF per column.
    template <class Get>
    static void GatherMat(std::size_t count, Get get, M4& out) {
        const mat4* lanes[kWidth];
        for (std::size_t l = 0; l < kWidth; ++l) lanes[l] = &get(l < count ? l : 0);
        __m128 columns[4][4][G];
        for (int g = 0; g < G; ++g) {
            const mat4* const* group = lanes + 4 * g;
            for (int r = 0; r < 4; ++r) {
                __m128 c0 = _mm_loadu_ps(group[0]->m[r]);
                __m128 c1 = _mm_loadu_ps(group[1]->m[r]);
                __m128 c2 = _mm_loadu_ps(group[2]->m[r]);
                __m128 c3 = _mm_loadu_ps(group[3]->m[r]);
                _MM_TRANSPOSE4_PS(c0, c1, c2, c3);
                columns[r][0][g] = c0;
                columns[r][1][g] = c1;
                columns[r][2][g] = c2;
                columns[r][3][g] = c3;
            }
        }
        for (int r = 0; r < 4; ++r) {
            for (int c = 0; c < 4; ++c) out.m[r][c] = LaneSet::Combine(columns[r][c]);
        }
    }

    // A V3 stored once, for reading lane by lane.
    struct UnpackedV3 {
        Unpacked x, y, z;
        explicit UnpackedV3(const V3& v) : x(Unpack(v.x)), y(Unpack(v.y)), z(Unpack(v.z)) {}
        Math::vec3 operator[](std::size_t l) const { return {x.f[l], y.f[l], z.f[l]}; }
    };

    static quat LaneOf(const Q4& q, std::size_t l) {
        return {Unpack(q.x).f[l], Unpack(q.y).f[l], Unpack(q.z).f[l], Unpack(q.w).f[l]};
    }
    // The inverse of GatherMat: each lane's matrix, row by row.
    static void ScatterMat(const M4& a, std::size_t count, mat4* const* out) {
        for (int g = 0; g < G; ++g) {
            for (int r = 0; r < 4; ++r) {
                __m128 c0 = LaneSet::Group(a.m[r][0], g), c1 = LaneSet::Group(a.m[r][1], g);
                __m128 c2 = LaneSet::Group(a.m[r][2], g), c3 = LaneSet::Group(a.m[r][3], g);
                _MM_TRANSPOSE4_PS(c0, c1, c2, c3);
                const __m128 rows[4] = {c0, c1, c2, c3};
                for (std::size_t l = 0; l < 4; ++l) {
                    if (4 * g + l < count) _mm_storeu_ps(out[4 * g + l]->m[r], rows[l]);
                }
            }
        }
    }

    // One quaternion per lane, from the scalar steps that run lane by lane.
    struct QuatLanes {
        quat q[kWidth];
    };
    // Built in registers from single floats: a wide load of floats just stored one by one
    // would wait for the stores to drain.
    static Q4 PackQuats(const QuatLanes& lanes) {
        __m128 x[G], y[G], z[G], w[G];
        for (int g = 0; g < G; ++g) {
            const quat* q = lanes.q + 4 * g;
            x[g] = _mm_setr_ps(q[0].x, q[1].x, q[2].x, q[3].x);
            y[g] = _mm_setr_ps(q[0].y, q[1].y, q[2].y, q[3].y);
            z[g] = _mm_setr_ps(q[0].z, q[1].z, q[2].z, q[3].z);
            w[g] = _mm_setr_ps(q[0].w, q[1].w, q[2].w, q[3].w);
        }
        return {LaneSet::Combine(x), LaneSet::Combine(y), LaneSet::Combine(z), LaneSet::Combine(w)};
    }

    // The step limits of the lanes, and which of LimitedTurn's paths each allows.
    struct LimitLanes {
        VF cos, sin, halfSin, halfCos;
        VF ordinary;  // 0 < limit < pi: the clamp test applies
        VF direct;    // ordinary, or limit >= pi: the half-angle form may apply
    };

    // IkStep::LimitedTurn in lanes, for the lanes in `moved`. Lanes that need the angle itself (a turn
    // near half a turn, or an odd limit) are left to the scalar function; they are rare.
    static Q4 LimitedTurn(const V3& a, const V3& b, const V3& cross, VF sine, VF cosine, const LimitLanes& limit, int moved,
                   const StepLimit* scalarLimits) {
        const VF zero = Splat(0.0f);
        const VF noAxis = And(And(Equal(cross.x, zero), Equal(cross.y, zero)), Equal(cross.z, zero));
        const VF clamped = And(limit.ordinary, Greater(sine * limit.cos - cosine * limit.sin, zero));
        const VF half = AndNot(And(limit.direct, Greater(cosine, Splat(-0.99f))), clamped);
        const int turning = moved & ~Bits(noAxis);
        const int clampedLanes = turning & Bits(clamped);
        const int halfLanes = turning & Bits(half);
        // Only the forms some lane takes are computed (divisions are dear).
        Q4 turn = IdentityQ4();
        if (halfLanes != 0) {
            const VF w = Splat(1.0f) + cosine;
            const VF inv = Splat(1.0f) / Sqrt(sine * sine + w * w);
            turn = Select(MaskOf(halfLanes), Q4{cross.x * inv, cross.y * inv, cross.z * inv, w * inv}, turn);
        }
        if (clampedLanes != 0) {
            const Q4 clampedTurn{cross.x / sine * limit.halfSin, cross.y / sine * limit.halfSin,
                                 cross.z / sine * limit.halfSin, limit.halfCos};
            turn = Select(MaskOf(clampedLanes), clampedTurn, turn);
        }
        const int scalar = turning & ~clampedLanes & ~halfLanes;
        if (scalar != 0) {
            const UnpackedV3 aLanes(a), bLanes(b), crossLanes(cross);
            QuatLanes lanes;
            for (std::size_t l = 0; l < kWidth; ++l) {
                if (scalar & (1 << l)) lanes.q[l] = IkStep::LimitedTurn(aLanes[l], bLanes[l], crossLanes[l], scalarLimits[l]);
            }
            turn = Select(MaskOf(scalar), PackQuats(lanes), turn);
        }
        return turn;
    }

    // The goal and target directions in the space of `global`, as DirectionsInSpaceOf in the
    // one-chain solver computes them: the adjugate's columns dotted with the offsets, signed by the
    // determinant, normalised; zero for a singular transform.
    static void DirectionsInSpaceOf(const M4& g, const V3& p, const V3& q, V3& pDir, V3& qDir) {
        const V3 r0{g.m[0][0], g.m[0][1], g.m[0][2]};
        const V3 r1{g.m[1][0], g.m[1][1], g.m[1][2]};
        const V3 r2{g.m[2][0], g.m[2][1], g.m[2][2]};
        const V3 c0 = Cross(r1, r2);
        const V3 c1 = Cross(r2, r0);
        const V3 c2 = Cross(r0, r1);
        const VF det = g.m[0][0] * c0.x + g.m[0][1] * c0.y + g.m[0][2] * c0.z;
        const VF zero = Splat(0.0f);
        const VF singular = Equal(det, zero);
        const VF sign = Select(Greater(det, zero), Splat(1.0f), Splat(-1.0f));
        const V3 origin{g.m[3][0], g.m[3][1], g.m[3][2]};
        const auto local = [&](const V3& x) {
            const V3 d = x - origin;
            const V3 v{(c0.x * d.x + c0.y * d.y + c0.z * d.z) * sign, (c1.x * d.x + c1.y * d.y + c1.z * d.z) * sign,
                       (c2.x * d.x + c2.y * d.y + c2.z * d.z) * sign};
            return Select(singular, V3{zero, zero, zero}, Normalize(v));
        };
        pDir = local(p);
        qDir = local(q);
    }

    struct Link {
        std::size_t entry = 0;
        std::size_t end = 0;
        bool isTarget = false;
        bool axisLimit = false;
        int planeAxis = -1;
        bool appliesIK = false;
        bool hasOuter = false;
        bool scaled = false;
        V3 t;
        Q4 inner;
        Q4 outer;
        V3 scale;
        Q4 inverseInner;
        Q4 saved;
    };
    struct Entry {
        int32_t parent = -1;
        bool outerParent = false;
        bool affine = true;
        // Only the position of this global is read: an affine entry that is no link and no
        // entry's parent (the target, as a rule).
        bool positionOnly = false;
        M4 outerGlobal;
        M4 local;
        M4 global;
        Q4 ik;
    };
    std::vector<Link> links;
    std::vector<Entry> entries;
    std::array<MMDIkSolver*, kWidth> solvers{};
    std::size_t count = 0;
    std::array<StepLimit, kWidth> limits = MakeLimits(std::make_index_sequence<kWidth>());
    LimitLanes limitLanes;
    float limitAngles[kWidth] = {};

    template <std::size_t... I>
    static std::array<StepLimit, kWidth> MakeLimits(std::index_sequence<I...>) {
        return {StepLimit(static_cast<float>(I * 0))...};
    }

    void UpdateGlobal(Entry& e) {
        if (e.parent >= 0) {
            const M4& parent = entries[static_cast<std::size_t>(e.parent)].global;
            if (e.positionOnly) {
                MultiplyAffinePosition(e.local, parent, e.global);
            } else {
                e.affine ? MultiplyAffine(e.local, parent, e.global) : Multiply(e.local, parent, e.global);
            }
        } else if (e.outerParent) {
            e.affine ? MultiplyAffine(e.local, e.outerGlobal, e.global) : Multiply(e.local, e.outerGlobal, e.global);
        } else {
            e.global = e.local;
        }
    }

    // MMDNode::ComposeLocal with each lane's parts and IK rotate.
    void ComposeLocal(const Link& link) {
        Entry& e = entries[link.entry];
        Q4 r = link.inner;
        if (link.appliesIK) r = e.ik * r;
        if (link.hasOuter) r = link.outer * r;
        const VF xx = r.x * r.x, yy = r.y * r.y, zz = r.z * r.z;
        const VF xy = r.x * r.y, xz = r.x * r.z, yz = r.y * r.z;
        const VF wx = r.w * r.x, wy = r.w * r.y, wz = r.w * r.z;
        const VF one = Splat(1.0f), two = Splat(2.0f), zero = Splat(0.0f);
        M4& m = e.local;
        m.m[0][0] = one - two * (yy + zz);
        m.m[0][1] = two * (xy + wz);
        m.m[0][2] = two * (xz - wy);
        m.m[1][0] = two * (xy - wz);
        m.m[1][1] = one - two * (xx + zz);
        m.m[1][2] = two * (yz + wx);
        m.m[2][0] = two * (xz + wy);
        m.m[2][1] = two * (yz - wx);
        m.m[2][2] = one - two * (xx + yy);
        if (link.scaled) {
            // A scale of exactly 1 multiplies exactly, so lanes without scale keep their bits.
            const VF s[3] = {link.scale.x, link.scale.y, link.scale.z};
            for (int row = 0; row < 3; ++row) {
                for (int col = 0; col < 3; ++col) m.m[row][col] = m.m[row][col] * s[row];
            }
        }
        m.m[0][3] = zero;
        m.m[1][3] = zero;
        m.m[2][3] = zero;
        m.m[3][0] = link.t.x;
        m.m[3][1] = link.t.y;
        m.m[3][2] = link.t.z;
        m.m[3][3] = one;
    }

    // The link's local from its IK rotate, then every global below it.
    void UpdateLink(const Link& link) {
        ComposeLocal(link);
        for (std::size_t i = link.entry; i < link.end; ++i) UpdateGlobal(entries[i]);
    }

    // A target or IK bone outside the copy doesn't move during the solve: its position is read
    // once, into `outside`.
    V3 Position(int32_t entry, const V3& outside) const {
        if (entry < 0) return outside;
        const M4& g = entries[static_cast<std::size_t>(entry)].global;
        return {g.m[3][0], g.m[3][1], g.m[3][2]};
    }

    void Solve(std::span<MMDIkSolver* const> solvers) {
            auto& L = *this;
        L.count = 0;
        for (MMDIkSolver* s : solvers) {
            if (!s->m_enable || !s->PreparePose()) continue;
            if (L.count == kWidth) {
                s->Solve();
                continue;
            }
            L.solvers[L.count++] = s;
        }
        if (L.count == 0) return;
        const std::size_t n = L.count;
        // The lanes compute the globals themselves.
        for (std::size_t l = 0; l < n; ++l) L.solvers[l]->BeginSolve(n == 1);

        // Lanes need the same layout and the same per-frame choices (append turns, non-affine
        // locals); anything else runs one chain at a time.
        MMDIkSolver& first = *L.solvers[0];
        bool uniform = n > 1;
        for (std::size_t l = 1; l < n && uniform; ++l) {
            const MMDIkSolver& other = *L.solvers[l];
            uniform = IkLaneSolver::SameShape(first, other);
            for (std::size_t k = 0; k < first.m_links.size() && uniform; ++k) {
                const MMDNode::LocalParts& pa = first.m_pose.m_links[k].parts;
                const MMDNode::LocalParts& pb = other.m_pose.m_links[k].parts;
                uniform = pa.appliesIK == pb.appliesIK && pa.hasOuter == pb.hasOuter;
            }
            for (std::size_t i = 0; i < first.m_pose.m_entries.size() && uniform; ++i) {
                uniform = first.m_pose.m_entries[i].affine == other.m_pose.m_entries[i].affine;
            }
        }
        if (!uniform) {
            for (std::size_t l = 0; l < n; ++l) {
                if (n > 1) L.solvers[l]->m_pose.UpdateGlobals();
                L.solvers[l]->Iterate();
                L.solvers[l]->m_pose.Commit();
            }
            return;
        }

        // Load the lanes.
        const IkChainPose& pose0 = first.m_pose;
        const auto pose = [&](std::size_t l) -> const IkChainPose& { return L.solvers[l]->m_pose; };
        L.entries.resize(pose0.m_entries.size());
        for (std::size_t i = 0; i < L.entries.size(); ++i) {
            Entry& e = L.entries[i];
            const auto& e0 = pose0.m_entries[i];
            e.parent = e0.parent;
            e.outerParent = e0.outerParent != nullptr;
            e.affine = e0.affine;
            if (e.outerParent) GatherMat(n, [&](std::size_t l) -> const mat4& { return *pose(l).m_entries[i].outerParent; }, e.outerGlobal);
            GatherMat(n, [&](std::size_t l) -> const mat4& { return pose(l).m_entries[i].local; }, e.local);
            e.ik = GatherQuat(n, [&](std::size_t l) -> const quat& { return pose(l).m_entries[i].ik; });
            e.positionOnly = e.affine && !e0.isLink;
        }
        for (const Entry& e : L.entries) {
            if (e.parent >= 0) L.entries[static_cast<std::size_t>(e.parent)].positionOnly = false;
        }
        // The globals in lanes, from the locals: the same products that gave the poses' own.
        for (Entry& e : L.entries) L.UpdateGlobal(e);
        L.links.resize(first.m_links.size());
        for (std::size_t k = 0; k < L.links.size(); ++k) {
            Link& link = L.links[k];
            const auto& p0 = pose0.m_links[k];
            const MMDIkLink& ik0 = first.m_links[k];
            link.entry = p0.entry;
            link.end = p0.end;
            link.isTarget = ik0.node == first.m_targetNode;
            link.axisLimit = ik0.axisLimit;
            link.planeAxis = ik0.axisLimit ? IkStep::SingleLimitedAxis(ik0.limitMin, ik0.limitMax) : -1;
            link.appliesIK = p0.parts.appliesIK;
            link.hasOuter = p0.parts.hasOuter;
            link.scaled = false;
            for (std::size_t l = 0; l < n; ++l) {
                const vec3& s = pose(l).m_links[k].parts.scale;
                link.scaled = link.scaled || !(s.x == 1.0f && s.y == 1.0f && s.z == 1.0f);
            }
            link.t = GatherVec3(n, [&](std::size_t l) { return pose(l).m_links[k].parts.t; });
            link.inner = GatherQuat(n, [&](std::size_t l) -> const quat& { return pose(l).m_links[k].parts.inner; });
            link.outer = GatherQuat(n, [&](std::size_t l) -> const quat& { return pose(l).m_links[k].parts.outer; });
            link.scale = GatherVec3(n, [&](std::size_t l) { return pose(l).m_links[k].parts.scale; });
            link.inverseInner = GatherQuat(n, [&](std::size_t l) -> const quat& { return L.solvers[l]->m_inverseInner[k]; });
            link.saved = IdentityQ4();
        }
        for (std::size_t l = 0; l < kWidth; ++l) {
            const MMDIkSolver& solver = *L.solvers[l < n ? l : 0];
            L.limits[l] = solver.m_stepLimit;
            L.limitAngles[l] = solver.m_limitAngle;
        }
        {
            const auto lanes = [&](auto get) {
                float f[kWidth];
                for (std::size_t l = 0; l < kWidth; ++l) f[l] = get(L.limits[l]);
                return Pack(f);
            };
            LimitLanes& ll = L.limitLanes;
            ll.cos = lanes([](const StepLimit& s) { return s.cos; });
            ll.sin = lanes([](const StepLimit& s) { return s.sin; });
            ll.halfSin = lanes([](const StepLimit& s) { return s.halfSin; });
            ll.halfCos = lanes([](const StepLimit& s) { return s.halfCos; });
            const auto mask = [](bool b) { return b ? std::bit_cast<float>(0xFFFFFFFFu) : 0.0f; };
            ll.ordinary = lanes([&](const StepLimit& s) { return mask(s.angle > 0.0f && s.angle < Math::kPi); });
            ll.direct = lanes([&](const StepLimit& s) { return mask((s.angle > 0.0f && s.angle < Math::kPi) || s.angle >= Math::kPi); });
        }

        const int32_t targetEntry = pose0.m_target;
        const int32_t ikEntry = pose0.m_ikEntry;
        const V3 targetOutside = GatherVec3(n, [&](std::size_t l) { return pose(l).GetTargetPosition(); });
        const V3 ikOutside = GatherVec3(n, [&](std::size_t l) { return pose(l).GetIKPosition(); });
        float best[kWidth];
        std::fill(best, best + kWidth, 3.4028235e38f);
        uint32_t loops[kWidth] = {};
        uint32_t maxLoops = 0;
        for (std::size_t l = 0; l < n; ++l) {
            loops[l] = L.solvers[l]->m_iterateCount;
            maxLoops = std::max(maxLoops, loops[l]);
        }
        int running = (1 << n) - 1;

        for (uint32_t i = 0; i < maxLoops; ++i) {
            for (std::size_t l = 0; l < n; ++l) {
                if (i >= loops[l]) running &= ~(1 << l);
            }
            if (running == 0) break;

            // One pass over the links, as SolveCore; lanes that aren't running keep their values.
            const V3 ikPosition = L.Position(ikEntry, ikOutside);
            for (std::size_t k = 0; k < L.links.size(); ++k) {
                Link& link = L.links[k];
                if (link.isTarget) continue;
                Entry& e = L.entries[link.entry];
                V3 a, b;
                DirectionsInSpaceOf(e.global, ikPosition, L.Position(targetEntry, targetOutside), a, b);
                const V3 cross = Cross(b, a);
                const UnpackedV3 aLanes(a), bLanes(b), crossLanes(cross);
                QuatLanes turn;
                int moved = running;
                if (link.planeAxis >= 0) {
                    for (std::size_t l = 0; l < n; ++l) {
                        if (!(running & (1 << l))) continue;
                        MMDIkLink& state = L.solvers[l]->m_links[k];
                        turn.q[l] = IkStep::PlaneTurn(i, aLanes[l], bLanes[l], crossLanes[l], link.planeAxis, state,
                                                      L.limitAngles[l]);
                    }
                    const Q4 ik = PackQuats(turn) * link.inverseInner;
                    e.ik = Select(MaskOf(moved), ik, e.ik);
                } else {
                    // Links already turned to within 0.001 degrees of the goal are left alone.
                    const VF sine = Length(cross);
                    const VF cosine = Dot(a, b);
                    moved &= ~Bits(LessOrEqual(sine, cosine * Splat(IkStep::kTanSmallestStep)));
                    if (moved == 0) continue;
                    Q4 candidate = e.ik * link.inner * LimitedTurn(a, b, cross, sine, cosine, L.limitLanes, moved, L.limits.data());
                    if (link.axisLimit) {
                        QuatLanes limited;
                        for (std::size_t l = 0; l < kWidth; ++l) {
                            limited.q[l] = (moved & (1 << l)) ? IkStep::LimitToRanges(LaneOf(candidate, l), L.solvers[l]->m_links[k],
                                                                                      L.limitAngles[l])
                                                              : quat::Identity();
                        }
                        candidate = PackQuats(limited);
                    }
                    e.ik = Select(MaskOf(moved), candidate * link.inverseInner, e.ik);
                }
                L.UpdateLink(link);
            }

            // The stop rule, lane by lane.
            const V3 offset = L.Position(targetEntry, targetOutside) - L.Position(ikEntry, ikOutside);
            const Unpacked distance = Unpack(Length(offset));
            int stopping = 0;
            for (std::size_t l = 0; l < n; ++l) {
                if (!(running & (1 << l))) continue;
                if (!(distance.f[l] < best[l])) {
                    stopping |= 1 << l;
                } else {
                    best[l] = distance.f[l];
                }
            }
            const VF keep = MaskOf(running & ~stopping);
            if (stopping != 0) {
                // Back to the best iteration: every link's saved rotate, then the whole copy again
                // (each global ends as its local times its parent's, as the per-link updates leave it).
                const VF back = MaskOf(stopping);
                for (Link& link : L.links) {
                    Entry& e = L.entries[link.entry];
                    e.ik = Select(back, link.saved, e.ik);
                    L.ComposeLocal(link);
                }
                for (Entry& e : L.entries) L.UpdateGlobal(e);
                running &= ~stopping;
            }
            for (Link& link : L.links) link.saved = Select(keep, L.entries[link.entry].ik, link.saved);
        }

        // Hand each lane back to its solver and let it write the nodes.
        for (std::size_t k = 0; k < L.links.size(); ++k) {
            const Link& link = L.links[k];
            mat4* locals[kWidth];
            for (std::size_t l = 0; l < n; ++l) locals[l] = &L.solvers[l]->m_pose.m_entries[link.entry].local;
            ScatterMat(L.entries[link.entry].local, n, locals);
            for (std::size_t l = 0; l < n; ++l) {
                MMDIkSolver& solver = *L.solvers[l];
                solver.m_pose.m_entries[link.entry].ik = LaneOf(L.entries[link.entry].ik, l);
                solver.m_links[k].saveIKRotate = LaneOf(link.saved, l);
            }
        }
        for (std::size_t l = 0; l < n; ++l) L.solvers[l]->m_pose.Commit();
    }
};
