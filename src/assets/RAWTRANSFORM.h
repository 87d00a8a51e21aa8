#pragma once
// The single-picture transformations behind the transformation strings of
// picture names: mirror, rotate, invert and double.

class TRawPicture;

// Runs one command ("H", "V", "R", "r", "I", "D") on the whole picture; any
// other character gives a warning and changes nothing. False for an unknown
// command or a doubling refused because the picture would grow too large.
bool TransformRawImage(TRawPicture& picture, char command);
