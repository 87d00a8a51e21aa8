#include "MusicXM.h"

#include <algorithm>

namespace vgrdata {

namespace {

class TWriter {
 public:
  std::vector<uint8_t> Out;
  void U8(uint32_t v) { Out.push_back(static_cast<uint8_t>(v)); }
  void U16(uint32_t v) {
    U8(v & 0xFF);
    U8((v >> 8) & 0xFF);
  }
  void U32(uint32_t v) {
    U16(v & 0xFFFF);
    U16(v >> 16);
  }
  // Fixed-size text field, padded with zeros (module name with blanks).
  void Text(const std::string& s, size_t size, char pad = '\0') {
    for (size_t i = 0; i < size; ++i) U8(i < s.size() ? static_cast<uint8_t>(s[i]) : static_cast<uint8_t>(pad));
  }
  void Zeros(size_t n) { Out.insert(Out.end(), n, 0); }
};

void WriteEnvelope(TWriter& w, const TXmEnvelope& e) {
  for (size_t i = 0; i < 12; ++i) {
    if (i < e.Points.size()) {
      w.U16(e.Points[i].first);
      w.U16(e.Points[i].second);
    } else {
      w.U32(0);
    }
  }
}

}  // namespace

bool CheckXm(const TXmModule& m, std::string& error) {
  if (m.Channels < 2 || m.Channels > 32 || m.Channels % 2) error = "channels must be an even count from 2 to 32";
  else if (m.Order.empty() || m.Order.size() > 256) error = "the order list needs 1 to 256 entries";
  else if (m.Restart < 0 || m.Restart >= static_cast<int>(m.Order.size())) error = "the loop point is outside the order list";
  else if (m.Patterns.empty() || m.Patterns.size() > 256) error = "a song needs 1 to 256 patterns";
  else if (m.Instruments.size() > 128) error = "at most 128 instruments";
  else if (m.Speed < 1 || m.Speed > 31 || m.Bpm < 32 || m.Bpm > 255) error = "speed must be 1..31 and bpm 32..255";
  else {
    for (uint8_t o : m.Order) {
      if (o >= m.Patterns.size()) {
        error = "the order list names a missing pattern";
        return false;
      }
    }
    for (const TXmPattern& p : m.Patterns) {
      if (p.Rows < 1 || p.Rows > 256 || p.Cells.size() != static_cast<size_t>(p.Rows * m.Channels)) {
        error = "a pattern must have 1 to 256 full rows";
        return false;
      }
    }
    for (const TXmInstrument& i : m.Instruments) {
      if (i.VolumeEnvelope.Points.size() > 12) {
        error = "instrument '" + i.Name + "': at most 12 envelope points";
        return false;
      }
      if (i.LoopLength && (i.LoopStart >= i.Sample.size() || i.LoopLength > i.Sample.size() - i.LoopStart)) {
        error = "instrument '" + i.Name + "': loop outside the sample";
        return false;
      }
      if (i.Sample.size() > 0x3FFFFFFF) {
        error = "instrument '" + i.Name + "': sample too long";
        return false;
      }
    }
    return true;
  }
  return false;
}

std::vector<uint8_t> WriteXm(const TXmModule& m) {
  TWriter w;
  w.Text("Extended Module: ", 17);
  w.Text(m.Name, 20, ' ');
  w.U8(0x1A);
  w.Text("vgrdata", 20, ' ');
  w.U16(0x0104);
  w.U32(276);  // header size from here: 20 bytes of fields and the order table
  w.U16(static_cast<uint32_t>(m.Order.size()));
  w.U16(static_cast<uint32_t>(m.Restart));
  w.U16(static_cast<uint32_t>(m.Channels));
  w.U16(static_cast<uint32_t>(m.Patterns.size()));
  w.U16(static_cast<uint32_t>(m.Instruments.size()));
  w.U16(1);  // linear frequency table
  w.U16(static_cast<uint32_t>(m.Speed));
  w.U16(static_cast<uint32_t>(m.Bpm));
  for (size_t i = 0; i < 256; ++i) w.U8(i < m.Order.size() ? m.Order[i] : 0);

  for (const TXmPattern& p : m.Patterns) {
    TWriter data;
    for (const TXmCell& c : p.Cells) {
      // Packed cells: a flag byte with bit 7 set says which fields follow.
      uint8_t flags = 0x80;
      if (c.Note) flags |= 1;
      if (c.Instrument) flags |= 2;
      if (c.Volume) flags |= 4;
      if (c.Effect) flags |= 8;
      if (c.Param) flags |= 16;
      data.U8(flags);
      if (c.Note) data.U8(c.Note);
      if (c.Instrument) data.U8(c.Instrument);
      if (c.Volume) data.U8(c.Volume);
      if (c.Effect) data.U8(c.Effect);
      if (c.Param) data.U8(c.Param);
    }
    w.U32(9);
    w.U8(0);
    w.U16(static_cast<uint32_t>(p.Rows));
    w.U16(static_cast<uint32_t>(data.Out.size()));
    w.Out.insert(w.Out.end(), data.Out.begin(), data.Out.end());
  }

  for (const TXmInstrument& ins : m.Instruments) {
    const size_t start = w.Out.size();
    w.U32(263);
    w.Text(ins.Name, 22);
    w.U8(0);
    w.U16(ins.Sample.empty() ? 0 : 1);
    w.U32(40);     // sample header size
    w.Zeros(96);   // every note plays sample 0
    WriteEnvelope(w, ins.VolumeEnvelope);
    WriteEnvelope(w, TXmEnvelope());
    const auto& env = ins.VolumeEnvelope;
    w.U8(static_cast<uint32_t>(env.Points.size()));
    w.U8(0);
    w.U8(env.Sustain >= 0 ? static_cast<uint32_t>(env.Sustain) : 0);
    w.U8(env.LoopStart >= 0 ? static_cast<uint32_t>(env.LoopStart) : 0);
    w.U8(env.LoopEnd >= 0 ? static_cast<uint32_t>(env.LoopEnd) : 0);
    w.Zeros(3);  // panning envelope sustain and loop
    uint8_t type = 0;
    if (!env.Points.empty()) type |= 1;
    if (!env.Points.empty() && env.Sustain >= 0) type |= 2;
    if (!env.Points.empty() && env.LoopStart >= 0 && env.LoopEnd >= env.LoopStart) type |= 4;
    w.U8(type);
    w.U8(0);
    w.Zeros(4);  // auto-vibrato
    w.U16(ins.FadeOut);
    w.Zeros(263 - (w.Out.size() - start));
    if (ins.Sample.empty()) continue;

    w.U32(static_cast<uint32_t>(ins.Sample.size() * 2));
    w.U32(ins.LoopStart * 2);
    w.U32(ins.LoopLength * 2);
    w.U8(std::min<uint8_t>(ins.Volume, 64));
    w.U8(static_cast<uint8_t>(ins.FineTune));
    w.U8((ins.LoopLength ? 1 : 0) | 0x10);  // forward loop, 16-bit
    w.U8(ins.Pan);
    w.U8(static_cast<uint8_t>(ins.RelativeNote));
    w.U8(0);
    w.Text(ins.Name, 22);
    // Sample data is stored as differences between neighbouring samples.
    int16_t previous = 0;
    for (int16_t s : ins.Sample) {
      w.U16(static_cast<uint16_t>(static_cast<int16_t>(s - previous)));
      previous = s;
    }
  }
  return w.Out;
}

}  // namespace vgrdata
