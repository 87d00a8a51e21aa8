#include "CompressorUnit.h"

#include "CodingUnit.h"
#include "HuffmanUnit.h"
#include "Logger.h"
#include "MyZStreamUnit.h"
#include "RLEUnit.h"

TCompressor* Compressor = nullptr;

namespace {

const char* const kLoc = "CompressorUnit, TCompressor.Decompress";
std::unique_ptr<TCompressor> Instance;

std::unique_ptr<TMemoryStream> Failed(const std::string& msg) {
  Log->Error(msg, kLoc);
  return nullptr;
}

}  // namespace

std::unique_ptr<TMemoryStream> TCompressor::Decompress(TStream& input) {
  uint8_t method = 0;
  std::unique_ptr<TMemoryStream> payload = Payload(input, method);
  return payload ? Stages(method, std::move(payload)) : nullptr;
}

std::unique_ptr<TMemoryStream> TCompressor::Decompress(std::unique_ptr<TMemoryStream> input) {
  uint8_t method = 0;
  std::unique_ptr<TMemoryStream> payload = Payload(*input, method);
  input.reset();
  return payload ? Stages(method, std::move(payload)) : nullptr;
}

std::unique_ptr<TMemoryStream> TCompressor::Payload(TStream& input, uint8_t& method) {
  input.SetPosition(0);
  bool ok = false;
  method = input.ReadU8(&ok);
  if (!ok) return Failed("Compressed data without a method byte!");

  // Payload.
  auto payload = std::make_unique<TMemoryStream>();
  if (method & kMethodZlib) {
    input.SetPosition(1);
    if (!ZInflate(input, *payload)) return Failed("Cannot inflate the payload!");
  } else {
    if (input.Size() < 5) return Failed("Compressed data cut short!");
    input.SetPosition(5);
    std::vector<uint8_t> rest = input.ReadAll();
    payload->Data = std::move(rest);
  }
  payload->SetPosition(0);
  return payload;
}

std::unique_ptr<TMemoryStream> TCompressor::Stages(uint8_t method, std::unique_ptr<TMemoryStream> payload) {
  // Entropy stage.
  std::unique_ptr<TMemoryStream> stage = std::move(payload);
  switch (MethodEntropy(method)) {
    case esNone:
      break;
    case esRunLength: {
      auto out = std::make_unique<TMemoryStream>();
      if (RLEDecode(*stage, *out) == TRLEResult::Corrupt) return Failed("Cannot decode the run-length stage!");
      stage = std::move(out);
      break;
    }
    case esHuffmanRunLength:
    case esHuffman: {
      THuffman local;
      THuffman& huffman = Huffman ? *Huffman : local;
      auto out = std::make_unique<TMemoryStream>();
      if (!huffman.Decode(*stage, *out)) return Failed("Cannot decode the Huffman stage!");
      out->SetPosition(0);
      stage = std::move(out);
      if (MethodEntropy(method) == esHuffmanRunLength) {
        auto rle = std::make_unique<TMemoryStream>();
        if (RLEDecode(*stage, *rle) == TRLEResult::Corrupt) return Failed("Cannot decode the run-length stage!");
        stage = std::move(rle);
      }
      break;
    }
    default:
      // Entropy values 3, 5, 6 and 7 name no stage: the member decodes to nothing.
      stage = std::make_unique<TMemoryStream>();
      break;
  }

  // Filter stage.
  switch (MethodFilter(method)) {
    case fsInterleave2: stage = Reinterleave(*stage, 2); break;
    case fsInterleave3: stage = Reinterleave(*stage, 3); break;
    case fsDelta: stage = DeltaDecode(*stage); break;
    case fsMoveToFront: stage = MoveToFrontDecode(*stage); break;
    case fsDeltaInterleave2: {
      auto delta = DeltaDecode(*stage);
      stage.reset();  // one copy less while a large member decodes
      stage = Reinterleave(*delta, 2);
      break;
    }
    case fsDeltaInterleave3: {
      auto delta = DeltaDecode(*stage);
      stage.reset();  // one copy less while a large member decodes
      stage = Reinterleave(*delta, 3);
      break;
    }
    default:
      break;
  }
  stage->SetPosition(0);
  return stage;
}

void CompressorUnit_Startup() {
  LogUnitVersion("CompressorUnit", "1.20");
  Instance = std::make_unique<TCompressor>();
  Compressor = Instance.get();
}

void CompressorUnit_Shutdown() {
  Compressor = nullptr;
  Instance.reset();
}
