#include "lfw/mac/cocoa/LCocoaTabViewImpl.h"

#include "lfw/mac/cocoa/LAssociatedData.h"
#include "lfw/mac/cocoa/LCocoaTextField.h"
#include "lfw/mac/cocoa/LCocoaViewCategory.h"
#include "platform/ui/LLayout.h"
#include "platform/ui/LUiSystem.h"

#include <set>

namespace {

// The notebook pages that stand for tab items now (their widgets).
std::set<GtkWidget*>& LivePages()
{
    static std::set<GtkWidget*> pages;
    return pages;
}

void ForgetPage(gpointer, GObject* gone)
{
    LivePages().erase(reinterpret_cast<GtkWidget*>(gone));
}

} // namespace

LCocoaTabViewImpl::LCocoaTabViewImpl(const LUiRect& frame, int cid, LCocoaWindow* window)
    : LCocoaViewBase(frame, window)
{
    SetTag(cid);
}

LCocoaTabViewImpl::~LCocoaTabViewImpl()
{
    // The pages go with the widget below: nothing of this object may hear of it.
    if (fNotebook)
        g_signal_handlers_disconnect_by_data(fNotebook, this);
    for (Item& item : fItems)
        if (LivePages().erase(item.widget))
            g_object_weak_unref(G_OBJECT(item.widget), ForgetPage, nullptr);
}

GtkWidget* LCocoaTabViewImpl::CreateWidget()
{
    GtkWidget* outer = LCocoaViewBase::CreateWidget();
    fNotebook = gtk_notebook_new();
    gtk_notebook_set_scrollable(GTK_NOTEBOOK(fNotebook), TRUE);
    gtk_notebook_set_show_tabs(GTK_NOTEBOOK(fNotebook), !fTabless);
    gtk_notebook_set_show_border(GTK_NOTEBOOK(fNotebook), !fTabless);
    LUiRect f = Frame();
    vt_layout_put(VT_LAYOUT(outer), fNotebook, 0, 0, int(f.width + 0.5), int(f.height + 0.5));
    gtk_widget_show(fNotebook);
    g_signal_connect(fNotebook, "switch-page", G_CALLBACK(OnSwitchPage), this);
    g_signal_connect_after(fNotebook, "switch-page", G_CALLBACK(OnSwitchedPage), this);
    g_signal_connect_after(fNotebook, "size-allocate",
        G_CALLBACK(+[](GtkWidget*, GdkRectangle*, gpointer self) {
            static_cast<LCocoaTabViewImpl*>(self)->PlacePages();
        }),
        this);
    return outer;
}

GtkNotebook* LCocoaTabViewImpl::notebook()
{
    Widget();
    return GTK_NOTEBOOK(fNotebook);
}

void LCocoaTabViewImpl::FrameDidChange()
{
    if (GtkWidget* outer = ExistingWidget(); outer && fNotebook) {
        LUiRect f = Frame();
        vt_layout_move_resize(
            VT_LAYOUT(outer), fNotebook, 0, 0, int(f.width + 0.5), int(f.height + 0.5));
    }
}

void LCocoaTabViewImpl::setTabless(bool tabless)
{
    fTabless = tabless;
    if (fNotebook) {
        gtk_notebook_set_show_tabs(GTK_NOTEBOOK(fNotebook), !tabless);
        gtk_notebook_set_show_border(GTK_NOTEBOOK(fNotebook), !tabless);
    }
}

// The pages' frames follow where the notebook put them, so conversions of their subviews hold.
void LCocoaTabViewImpl::PlacePages()
{
    GtkWidget* outer = ExistingWidget();
    for (Item& item : fItems) {
        if (!gtk_widget_get_realized(item.widget) && !gtk_widget_get_visible(item.widget))
            continue;
        GtkAllocation a;
        gtk_widget_get_allocation(item.widget, &a);
        if (a.width <= 1 && a.height <= 1)
            continue;
        int x = 0, y = 0;
        if (!gtk_widget_translate_coordinates(item.widget, outer, 0, 0, &x, &y))
            continue;
        item.page->SetFrame(LUiRect { double(x), double(y), double(a.width), double(a.height) });
    }
}

void LCocoaTabViewImpl::addTab(const char* label)
{
    insertTab(label, count());
}

void LCocoaTabViewImpl::insertTab(const char* label, int index)
{
    auto* page = new LView;
    insertTabWithPage(label, page, index);
    page->Release();
}

void LCocoaTabViewImpl::addTabWithPage(const char* label, LView* page)
{
    insertTabWithPage(label, page, count());
}

void LCocoaTabViewImpl::insertTabWithPage(const char* label, LView* page, int index)
{
    if (!page || indexOfPage(page) >= 0)
        return;
    if (index < 0 || index > count())
        index = count();
    LUiRef<LView> hold(page);
    page->RemoveFromSuperview();
    Widget();
    // The page joins the subviews (in the outer layout), then moves into the notebook.
    AddSubview(page);
    GtkWidget* w = page->Widget();
    g_object_ref(w);
    if (GtkWidget* parent = gtk_widget_get_parent(w))
        gtk_container_remove(GTK_CONTAINER(parent), w);
    GtkWidget* tab = gtk_label_new(label ? label : "");
    // Inserting the first page selects it: the owner hears nothing of that.
    fSelectingInside = true;
    gtk_notebook_insert_page(GTK_NOTEBOOK(fNotebook), w, tab, index);
    fSelectingInside = false;
    gtk_widget_show(w);
    g_object_unref(w);
    fItems.insert(fItems.begin() + index, Item { page, w, label ? label : "" });
    LivePages().insert(w);
    g_object_weak_ref(G_OBJECT(w), ForgetPage, nullptr);
    page->SetAssociatedValue(&kTabViewItemKey, uint64_t(uintptr_t(w)));
}

void LCocoaTabViewImpl::removeTab(int index)
{
    if (index < 0 || index >= count())
        return;
    Item item = fItems[size_t(index)];
    fItems.erase(fItems.begin() + index);
    if (LivePages().erase(item.widget))
        g_object_weak_unref(G_OBJECT(item.widget), ForgetPage, nullptr);
    item.page->RemoveAssociatedValue(&kTabViewItemKey);
    item.page->RemoveFromSuperview();
}

void LCocoaTabViewImpl::selectTab(int index)
{
    // GTK takes -1 as the last page: out of range does nothing here.
    if (index < 0 || index >= count())
        return;
    gtk_notebook_set_current_page(notebook(), index);
}

int LCocoaTabViewImpl::getCurrentTab() const
{
    return fNotebook ? gtk_notebook_get_current_page(GTK_NOTEBOOK(fNotebook)) : -1;
}

const char* LCocoaTabViewImpl::getTabLabel(int index) const
{
    if (index < 0 || index >= count())
        return nullptr;
    return fItems[size_t(index)].label.c_str();
}

void LCocoaTabViewImpl::setTabLabel(int index, const char* label)
{
    if (index < 0 || index >= count())
        return;
    Item& item = fItems[size_t(index)];
    item.label = label ? label : "";
    gtk_notebook_set_tab_label_text(notebook(), item.widget, item.label.c_str());
}

LUiRect LCocoaTabViewImpl::tabLabelFrame(int index)
{
    GtkWidget* outer = ExistingWidget();
    if (!outer || !fNotebook || fTabless || index < 0 || index >= count())
        return LUiRect {};
    GtkWidget* label
        = gtk_notebook_get_tab_label(GTK_NOTEBOOK(fNotebook), fItems[size_t(index)].widget);
    int x = 0, y = 0;
    if (!label || !gtk_widget_get_mapped(label)
        || !gtk_widget_translate_coordinates(label, outer, 0, 0, &x, &y))
        return LUiRect {};
    return LUiRect { double(x), double(y), double(gtk_widget_get_allocated_width(label)),
        double(gtk_widget_get_allocated_height(label)) };
}

int LCocoaTabViewImpl::getTabHeight()
{
    if (fItems.empty() || !fNotebook)
        return 0;
    int current = std::max(0, getCurrentTab());
    int content = gtk_widget_get_allocated_height(fItems[size_t(current)].widget);
    if (content <= 1)
        return 0;
    return int((Frame().height - content) * 0.5);
}

LView* LCocoaTabViewImpl::pageView(int index) const
{
    return index >= 0 && index < count() ? fItems[size_t(index)].page : nullptr;
}

int LCocoaTabViewImpl::indexOfPage(const LView* page) const
{
    for (size_t i = 0; i < fItems.size(); ++i)
        if (fItems[i].page == page)
            return int(i);
    return -1;
}

bool LCocoaTabViewImpl::tabShouldSelect(int index)
{
    return !pOwner || pOwner->TabShouldSelect(index);
}

void LCocoaTabViewImpl::tabWillSelect(int index)
{
    if (iSelectingCmd >= 0)
        LCocoaView::sendCommand(this, iSelectingCmd, pWindow);
    if (pOwner)
        pOwner->TabWillSelect(index);
}

void LCocoaTabViewImpl::tabDidSelect(int index)
{
    if (iSelectedCmd >= 0)
        LCocoaView::sendCommand(this, iSelectedCmd, pWindow);
    if (pOwner)
        pOwner->TabDidSelect(index);
    if (LView* page = pageView(index))
        page->SetNeedsDisplay();
}

void LCocoaTabViewImpl::OnSwitchPage(GtkNotebook* nb, GtkWidget*, guint index, gpointer self)
{
    auto* view = static_cast<LCocoaTabViewImpl*>(self);
    if (view->fSelectingInside)
        return;
    // Refused: the notebook's own handler, which changes the page, does not run.
    if (!view->tabShouldSelect(int(index))) {
        g_signal_stop_emission_by_name(nb, "switch-page");
        return;
    }
    view->tabWillSelect(int(index));
}

void LCocoaTabViewImpl::OnSwitchedPage(GtkNotebook*, GtkWidget*, guint index, gpointer self)
{
    auto* view = static_cast<LCocoaTabViewImpl*>(self);
    if (view->fSelectingInside)
        return;
    LUiRef<LView> hold(view);
    view->tabDidSelect(int(index));
}

bool LCocoaTabViewImpl::isTabItemSelected(uint64_t item)
{
    auto* widget = reinterpret_cast<GtkWidget*>(uintptr_t(item));
    if (!LivePages().count(widget))
        return false;
    GtkWidget* parent = gtk_widget_get_parent(widget);
    if (!parent || !GTK_IS_NOTEBOOK(parent))
        return false;
    GtkNotebook* nb = GTK_NOTEBOOK(parent);
    return gtk_notebook_get_current_page(nb) == gtk_notebook_page_num(nb, widget);
}

// --- wizard pages --------------------------------------------------------------------------------

LWizardPageViewItemImpl::LWizardPageViewItemImpl(LCocoaWindow* wizard, float charHeightPixels)
    : LCocoaViewBase(LUiRect {}, wizard)
{
    double h = int(1.23 * charHeightPixels + 0.5);
    pTitle = new LCocoaTextStaticImpl(LUiRect { 0, -300, 8, h }, nullptr);
    pSubtitle = new LCocoaTextStaticImpl(LUiRect { 0, -300, 8, h }, nullptr);
    // A bold title at the system size and a subtitle in the small system size.
    LCocoaControlFont bold;
    bold.bold = true;
    pTitle->setFont(bold);
    LCocoaControlFont small;
    small.size = LUiSystemFontSize() * 11.0 / 13.0;
    pSubtitle->setFont(small);
    AddSubview(pTitle);
    AddSubview(pSubtitle);
    pTitle->Release();
    pSubtitle->Release();
}

void LWizardPageViewItemImpl::setTitle(const char* text)
{
    pTitle->setText(text ? text : "");
}

void LWizardPageViewItemImpl::setSubtitle(const char* text)
{
    pSubtitle->setText(text ? text : "");
}

void LWizardPageViewItemImpl::layoutPage(LView* pageView, float cw, float ch, double s)
{
    auto r = [](double v) { return int(v + 0.5); };
    double W = int(Frame().width);
    pTitle->SetFrame(LUiRect { double(int(r(2.5 * cw) / s)), double(int(r(0.5 * ch) / s)), W,
        double(int(r(1.17 * ch) / s)) });
    pSubtitle->SetFrame(LUiRect { double(int(r(5 * cw) / s)), double(int(r(1.67 * ch) / s)), W,
        double(int(r(1.17 * ch) / s)) });
    if (pageView) {
        if (pageView->Superview() != this)
            AddSubview(pageView);
        LUiRect f = pageView->Frame();
        pageView->SetFrame(LUiRect { 0, double(int(r(3.13 * ch) / s + 16)), f.width, f.height });
        pageView->SetNeedsDisplay();
    }
}
