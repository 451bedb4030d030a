// The on-screen handle of the frei0r filter tidalhalo in Shotcut's player:
// a dot at the ring's centre that drags it (frei0r parameters 0 and 1, the
// fractions of the frame's width and height), and the circle of the ring's
// radius (parameter 2, a fraction of the width) around it.
import QtQuick 2.12
import Shotcut.Controls 1.0 as Shotcut

Shotcut.VuiBase {
    id: vui

    property real zoom: video.zoom > 0 ? video.zoom : 1
    property int handleSize: Math.max(Math.round(20 / zoom), 8)
    property bool blockUpdate: false

    function getPosition() {
        return Math.max(producer.position - (filter.in - producer.in), 0);
    }

    function clamp(value) {
        return Math.min(Math.max(value, 0), 1);
    }

    // A value set while the parameter has keyframes becomes a keyframe at
    // the playhead; otherwise it replaces the one value.
    function setNumber(property, value) {
        if (filter.keyframeCount(property) > 0 && filter.animateIn <= 0 && filter.animateOut <= 0)
            filter.set(property, value, getPosition());
        else
            filter.set(property, value);
    }

    function setHandle() {
        if (blockUpdate)
            return;
        var position = getPosition();
        centerHandle.x = filter.getDouble('0', position) * video.rect.width - handleSize / 2;
        centerHandle.y = filter.getDouble('1', position) * video.rect.height - handleSize / 2;
        var radius = filter.getDouble('2', position) * video.rect.width;
        radiusCircle.width = 2 * radius;
        radiusCircle.height = 2 * radius;
    }

    function centerDragged() {
        blockUpdate = true;
        setNumber('0', clamp((centerHandle.x + handleSize / 2) / video.rect.width));
        setNumber('1', clamp((centerHandle.y + handleSize / 2) / video.rect.height));
        blockUpdate = false;
        setHandle();
    }

    Component.onCompleted: {
        setHandle();
        application.showStatusMessage(qsTr('Drag the dot to move the ring\'s centre'));
    }

    Flickable {
        anchors.fill: parent
        interactive: false
        clip: true
        contentWidth: video.rect.width * zoom
        contentHeight: video.rect.height * zoom
        contentX: video.offset.x
        contentY: video.offset.y

        Item {
            id: videoItem

            x: video.rect.x
            y: video.rect.y
            width: video.rect.width
            height: video.rect.height
            scale: zoom

            Rectangle {
                id: radiusCircle

                x: centerHandle.x + handleSize / 2 - width / 2
                y: centerHandle.y + handleSize / 2 - height / 2
                radius: width / 2
                color: 'transparent'
                border.color: 'white'
                border.width: Math.max(Math.round(2 / zoom), 1)
                opacity: 0.7
            }

            Rectangle {
                id: centerHandle

                width: handleSize
                height: handleSize
                radius: handleSize / 2
                color: 'white'
                border.color: 'black'
                border.width: Math.max(Math.round(2 / zoom), 1)
                opacity: 0.8

                MouseArea {
                    anchors.fill: parent
                    acceptedButtons: Qt.LeftButton
                    cursorShape: Qt.SizeAllCursor
                    drag.target: parent
                    drag.threshold: 0
                    onPositionChanged: centerDragged()
                }
            }
        }
    }

    Connections {
        function onChanged() {
            setHandle();
            videoItem.enabled = filter.get('disable') !== '1';
        }

        target: filter
    }

    Connections {
        function onPositionChanged() {
            setHandle();
        }

        target: producer
    }

    Connections {
        function onRectChanged() {
            setHandle();
        }

        target: video
    }
}
