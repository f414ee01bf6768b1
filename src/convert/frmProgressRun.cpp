// The progress window driving the conversion engine.
//
// The engine runs on the window's worker thread.  It reads the list rows
// from a copy taken before the run (the list cannot change under a modal
// window) and its status changes are handed to the window thread, which
// alone touches the real rows.
#include "convert/frmProgress.h"

#include <QObject>

#include <mutex>
#include <vector>

namespace qvo::convert {
namespace {

class RowsHandedToWindowThread : public ConversionRows {
public:
    explicit RowsHandedToWindowThread(ConversionRows &target) : target_(target)
    {
        const int n = target.rowCount();
        rows_.reserve(size_t(std::max(n, 0)));
        for (int i = 0; i < n; ++i)
            rows_.push_back({target.fileName(i), target.folderName(i), target.status(i)});
    }

    int rowCount() const override { return int(rows_.size()); }
    std::string fileName(int row) const override { return valid(row) ? rows_[size_t(row)].fileName : ""; }
    std::string folderName(int row) const override
    {
        return valid(row) ? rows_[size_t(row)].folderName : "";
    }
    std::string status(int row) const override
    {
        std::lock_guard lock(mutex_);
        return valid(row) ? rows_[size_t(row)].status : "";
    }

    void setStatus(int row, const std::string &status) override
    {
        if (!valid(row))
            return;
        {
            std::lock_guard lock(mutex_);
            rows_[size_t(row)].status = status;
        }
        // Shown while the run goes on; settle() makes sure of the end state.
        QMetaObject::invokeMethod(
            &context_, [this, row, status] { target_.setStatus(row, status); }, Qt::QueuedConnection);
    }

    // On the window thread, after the run: the real rows get the final
    // statuses whether or not the queued updates have been delivered.
    void settle()
    {
        std::lock_guard lock(mutex_);
        for (size_t i = 0; i < rows_.size(); ++i) {
            if (target_.status(int(i)) != rows_[i].status)
                target_.setStatus(int(i), rows_[i].status);
        }
    }

private:
    struct Row {
        std::string fileName;
        std::string folderName;
        std::string status;
    };
    bool valid(int row) const { return row >= 0 && size_t(row) < rows_.size(); }

    ConversionRows &target_;
    std::vector<Row> rows_;
    mutable std::mutex mutex_;
    // Last member: destroyed first, dropping updates not yet delivered.
    QObject context_;
};

class NoRows : public ConversionRows {
public:
    int rowCount() const override { return 0; }
    std::string fileName(int) const override { return {}; }
    std::string folderName(int) const override { return {}; }
    std::string status(int) const override { return {}; }
    void setStatus(int, const std::string &) override {}
};

class EngineJob : public ProgressJob {
public:
    EngineJob(settings::clsQvoSettings &settings, archive::clsArchiveCtrl &controller, ConversionRows *rows)
        : settings_(settings)
    {
        if (settings.mode == 1)
            rows_ = std::make_unique<RowsHandedToWindowThread>(rows ? *rows : noRows_);
        engine_ = std::make_unique<ConversionEngine>(settings, controller, rows_.get());
    }

    void run() override { engine_->run(); }
    const ConversionCounters &counters() const override { return engine_->counters(); }

    std::string finish() override
    {
        if (rows_)
            rows_->settle();
        if (settings_.mode == 1)
            return {};
        return singleFileFailureMessage(engine_->singleFileOutcome());
    }

private:
    settings::clsQvoSettings &settings_;
    NoRows noRows_;
    std::unique_ptr<RowsHandedToWindowThread> rows_;
    std::unique_ptr<ConversionEngine> engine_;
};

} // namespace

void frmProgress::showModal(settings::clsQvoSettings &settings, archive::clsArchiveCtrl &controller,
                            ConversionRows *rows)
{
    EngineJob job(settings, controller, rows);
    frmProgress window(job, settings);
    window.exec();
}

} // namespace qvo::convert
