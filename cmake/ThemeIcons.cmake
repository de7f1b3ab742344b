# Toolbar and caption pictures taken from the desktop's icon theme by name (symbolic icons of
# adwaita-icon-theme), rasterised at build time at 1x and 2x of the size the bar draws them.
set(vt_theme_icon_dir /usr/share/icons/Adwaita/scalable)
# id, icon name, size in points
set(vt_theme_icons
    340 document-new 32
    341 document-save 32
    342 document-open 32
    343 document-print 32
    344 preferences-system 32
    345 view-paged 32
    346 insert-text 32
    347 insert-image 32
    348 media-optical-cd-audio 32
    349 edit-delete 32
    357 edit-undo 32
    358 edit-redo 32
    359 edit-cut 32
    360 edit-copy 32
    361 edit-paste 32
    322 edit-undo 16
    323 edit-redo 16
    324 document-save 16
    325 document-open 16
    326 document-new 16)
list(LENGTH vt_theme_icons vt_theme_icon_count)
math(EXPR vt_theme_icon_last "${vt_theme_icon_count} - 1")
foreach(i RANGE 0 ${vt_theme_icon_last} 3)
    math(EXPR j "${i} + 1")
    math(EXPR k "${i} + 2")
    list(GET vt_theme_icons ${i} id)
    list(GET vt_theme_icons ${j} icon)
    list(GET vt_theme_icons ${k} size)
    file(GLOB_RECURSE svg ${vt_theme_icon_dir}/*/${icon}-symbolic.svg)
    if(NOT svg)
        message(WARNING "The icon theme lacks ${icon}: picture ${id} is left out")
        continue()
    endif()
    list(GET svg 0 svg)
    math(EXPR size2 "${size} * 2")
    add_custom_command(OUTPUT ${vt_png_dir}/${id}.png ${vt_png_dir}/${id}@2x.png
        COMMAND ${CMAKE_COMMAND} -E make_directory ${vt_png_dir}
        COMMAND ${VT_RSVG_CONVERT} -w ${size} -h ${size} -o ${vt_png_dir}/${id}.png ${svg}
        COMMAND ${VT_RSVG_CONVERT} -w ${size2} -h ${size2} -o ${vt_png_dir}/${id}@2x.png ${svg}
        DEPENDS ${svg} VERBATIM)
    list(APPEND vt_picture_outputs ${vt_png_dir}/${id}.png ${vt_png_dir}/${id}@2x.png)
endforeach()
