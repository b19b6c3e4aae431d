// The exposure block (8 floats in a storage buffer of words): exposure, 1 / exposure, minimum
// and maximum log2 luminance of the luma encoding, their range and its inverse. The including
// shader declares g_Buffers (binding 2, an array of `uint words[]`) and enables
// GL_EXT_nonuniform_qualifier first.
#ifndef TAVRIN_EXPOSURE_BLOCK_GLSL
#define TAVRIN_EXPOSURE_BLOCK_GLSL

void WriteExposureBlock(uint block, float exposure, float minLog, float maxLog) {
    g_Buffers[nonuniformEXT(block)].words[0] = floatBitsToUint(exposure);
    g_Buffers[nonuniformEXT(block)].words[1] = floatBitsToUint(1.0 / exposure);
    g_Buffers[nonuniformEXT(block)].words[2] = floatBitsToUint(minLog);
    g_Buffers[nonuniformEXT(block)].words[3] = floatBitsToUint(maxLog);
    g_Buffers[nonuniformEXT(block)].words[4] = floatBitsToUint(maxLog - minLog);
    g_Buffers[nonuniformEXT(block)].words[5] = floatBitsToUint(1.0 / (maxLog - minLog));
}

float ReadExposureBlock(uint block, uint index) { return uintBitsToFloat(g_Buffers[nonuniformEXT(block)].words[index]); }

#endif
