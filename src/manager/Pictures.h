#pragma once
// The pictures of the frame's one image list, in the strip's order: the
// toolbar's buttons, the tree's nodes and the list's rows share it.
enum ToolBarImage { imgAdd, imgChange, imgDelete, imgRefresh, imgInformation, imgFolder, imgProgram, imgMissing,
                    imgCompare, imgSkipped /* the program's picture faded, made when the strip is loaded */ };
