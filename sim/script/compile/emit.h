// The parse tree to bytecode. Only this file writes instructions.
#pragma once

#include <vector>

#include "sim/script/compile/chunk.h"
#include "sim/script/parse/ast.h"

namespace cv::sim::script {

// Compiles a block's, function's or lambda's body over the script's
// variables.
Chunk CompileBody(const ScriptTree& tree, const std::vector<Stmt>& body,
                  const std::vector<int>& params);

}  // namespace cv::sim::script
