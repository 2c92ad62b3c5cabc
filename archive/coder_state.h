// TLzhCoderState: the coder tables of one archive component. Each table set is allocated when
// a member's coding starts and freed when it ends, also when a failure ends it.
#pragma once

#include <memory>

namespace pagora {

struct Lh5EncoderTables;
struct Lh5DecoderTables;
struct Lh1Tables;

class TLzhCoderState {
 public:
  TLzhCoderState();
  ~TLzhCoderState();
  TLzhCoderState(const TLzhCoderState&) = delete;
  TLzhCoderState& operator=(const TLzhCoderState&) = delete;

  // Holds one freshly allocated table set for the lifetime of the lease and frees it after.
  template <typename Tables>
  class Lease {
   public:
    explicit Lease(std::unique_ptr<Tables>& slot) : slot_(slot) {
      slot_ = std::make_unique<Tables>();
    }
    ~Lease() { slot_.reset(); }
    Lease(const Lease&) = delete;
    Lease& operator=(const Lease&) = delete;
    Tables& operator*() const { return *slot_; }
    Tables* operator->() const { return slot_.get(); }

   private:
    std::unique_ptr<Tables>& slot_;
  };

  // Zero-initialised tables for one member (the coders include the table definitions).
  Lease<Lh5EncoderTables> lh5Encoder();
  Lease<Lh5DecoderTables> lh5Decoder();
  Lease<Lh1Tables> lh1();

  // True while no member is being coded (every table freed).
  bool idle() const { return !lh5Encoder_ && !lh5Decoder_ && !lh1_; }

 private:
  std::unique_ptr<Lh5EncoderTables> lh5Encoder_;
  std::unique_ptr<Lh5DecoderTables> lh5Decoder_;
  std::unique_ptr<Lh1Tables> lh1_;
};

}  // namespace pagora
