#pragma once
// The load guard every unit keeps: the load work runs on the first
// initialisation only, the unload work when the last one is undone.
class UnitCounter {
 public:
  // Decrements; true when the count was 0 before (do the load work).
  bool Enter() { return count_-- == 0; }
  // Increments; true when the count is now 0 (do the unload work).
  bool Leave() { return ++count_ == 0; }
  int Count() const { return count_; }

 private:
  int count_ = 0;
};
