#pragma once
// One swappable backing of a platform layer. Each layer keeps one Seam over
// its interface, standing on the real backing; a test installs a fake and gets
// a guard that puts the previous backing back when it goes, so fakes nest and
// unwind in the order they were installed.

#include <utility>

namespace numora {

template <class Interface>
class Seam {
public:
    explicit Seam(Interface& real) : current_(&real) {}
    Seam(const Seam&) = delete;
    Seam& operator=(const Seam&) = delete;

    Interface& get() const { return *current_; }
    Interface* operator->() const { return current_; }

    // Keeps a backing installed for its own lifetime.
    class Installed {
    public:
        Installed(Seam& seam, Interface& backing) : seam_(&seam), previous_(std::exchange(seam.current_, &backing)) {}
        ~Installed()
        {
            if (seam_)
                seam_->current_ = previous_;
        }
        Installed(Installed&& other) noexcept : seam_(std::exchange(other.seam_, nullptr)), previous_(other.previous_)
        {
        }
        Installed(const Installed&) = delete;
        Installed& operator=(const Installed&) = delete;
        Installed& operator=(Installed&&) = delete;

    private:
        Seam* seam_;
        Interface* previous_;
    };

    [[nodiscard]] Installed install(Interface& backing) { return Installed(*this, backing); }

private:
    Interface* current_;
};

} // namespace numora
