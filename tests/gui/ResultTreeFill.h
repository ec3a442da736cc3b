#pragma once

#include <string>

#include "ui/model/ResultTree.h"

namespace salvoran::test {

// Nodes as the main window makes them: tri-state check boxes, roots without a file entry.
inline ResultNode* AddRoot(ResultTree& tree, const std::u16string& caption) {
  ResultNode* root = tree.AddChild(nullptr);
  tree.NodeData(root)->FileName = caption;
  tree.SetCheckType(root, ctTriStateCheckBox);
  return root;
}

inline ResultNode* AddFile(ResultTree& tree, ResultNode* root, const std::u16string& name, double createTime = 0,
                           double modifyTime = 0, int64_t size = 0) {
  ResultNode* file = tree.AddChild(root);
  TDeletedFileData& data = *tree.NodeData(file);
  data.FileName = name;
  data.CreateTime = createTime;
  data.ModifyTime = modifyTime;
  data.FileSize = size;
  data.IsFileEntry = 1;
  tree.SetCheckType(file, ctTriStateCheckBox);
  return file;
}

}  // namespace salvoran::test
