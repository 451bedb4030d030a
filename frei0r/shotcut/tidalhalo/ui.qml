// The panel of the frei0r filter tidalhalo in Shotcut. Every number is kept
// in the filter's units (0..1) under its frei0r index and shown in the
// user's: percent of the frame for the centre, radius and feather, percent
// for expand and opacity, the effect's own unit 0..512 for scatter.
import QtQuick 2.12
import QtQuick.Controls 2.12
import QtQuick.Layouts 1.12
import Shotcut.Controls 1.0 as Shotcut

Shotcut.KeyframableFilter {
    id: panel

    // The seven numbers, in the filter's order, with what a shown value is
    // divided by and each one's default in the filter's units.
    readonly property var numberScales: [100, 100, 100, 100, 100, 100, 512]
    readonly property var numberDefaults: [0.5, 0.5, 0.1, 0.002, 0.5, 1, 0]
    readonly property string color1Default: '#ffffff'
    readonly property string color2Default: '#007fff'
    readonly property var blendNames: ['none', 'normal', 'add', 'stencil-multiply', 'stencil-multiply-alpha']
    readonly property var numberControls: [centerXSlider, centerYSlider, radiusSlider, featherSlider, expandSlider,
        opacitySlider, scatterSlider]
    readonly property var keyframeButtons: [centerXKeyframes, centerYKeyframes, radiusKeyframes, featherKeyframes,
        expandKeyframes, opacityKeyframes, scatterKeyframes]

    function setControls() {
        var position = getPosition();
        blockUpdate = true;
        for (var i = 0; i < numberControls.length; i++) {
            numberControls[i].value = filter.getDouble(keyframableParameters[i], position) * numberScales[i];
            keyframeButtons[i].checked = filter.keyframeCount(keyframableParameters[i]) > 0 && filter.animateIn <= 0
                && filter.animateOut <= 0;
            numberControls[i].enabled = isSimpleKeyframesActive();
        }
        color1Picker.value = filter.get('7');
        color2Picker.value = filter.get('8');
        smoothCheck.checked = filter.getDouble('9') >= 0.5;
        var blend = blendNames.indexOf(filter.get('10'));
        blendCombo.currentIndex = blend < 0 ? 1 : blend;
        blockUpdate = false;
    }

    function numberChanged(index) {
        updateFilter(keyframableParameters[index], numberControls[index].value / numberScales[index],
            keyframeButtons[index], getPosition());
    }

    function keyframesToggled(index) {
        toggleKeyframes(keyframeButtons[index].checked, keyframableParameters[index],
            numberControls[index].value / numberScales[index]);
    }

    // The simple keyframes follow a change of the clip's in, out or fades.
    function updateAllNumbers() {
        for (var i = 0; i < keyframableParameters.length; i++)
            updateFilter(keyframableParameters[i], numberControls[i].value / numberScales[i], keyframeButtons[i], null);
    }

    function setDefaults() {
        for (var i = 0; i < numberDefaults.length; i++)
            filter.set(keyframableParameters[i], numberDefaults[i]);
        filter.set('7', color1Default);
        filter.set('8', color2Default);
        filter.set('9', 1);
        filter.set('10', 'normal');
    }

    keyframableParameters: ['0', '1', '2', '3', '4', '5', '6']
    startValues: numberDefaults.slice()
    middleValues: numberDefaults.slice()
    endValues: numberDefaults.slice()
    width: 400
    height: 420
    Component.onCompleted: {
        if (filter.isNew) {
            setDefaults();
            filter.savePreset(preset.parameters);
        }
        setControls();
    }

    GridLayout {
        columns: 4
        anchors.fill: parent
        anchors.margins: 8

        Label {
            text: qsTr('Preset')
            Layout.alignment: Qt.AlignRight
        }

        Shotcut.Preset {
            id: preset

            parameters: ['0', '1', '2', '3', '4', '5', '6', '7', '8', '9', '10']
            Layout.columnSpan: parent.columns - 1
            onBeforePresetLoaded: resetSimpleKeyframes()
            onPresetSelected: {
                setControls();
                initializeSimpleKeyframes();
            }
        }

        Label {
            text: qsTr('Centre X')
            Layout.alignment: Qt.AlignRight
        }

        Shotcut.SliderSpinner {
            id: centerXSlider

            minimumValue: 0
            maximumValue: 100
            decimals: 2
            suffix: ' %'
            onValueChanged: numberChanged(0)
        }

        Shotcut.UndoButton {
            onClicked: centerXSlider.value = numberDefaults[0] * numberScales[0]
        }

        Shotcut.KeyframesButton {
            id: centerXKeyframes

            onToggled: keyframesToggled(0)
        }

        Label {
            text: qsTr('Centre Y')
            Layout.alignment: Qt.AlignRight
        }

        Shotcut.SliderSpinner {
            id: centerYSlider

            minimumValue: 0
            maximumValue: 100
            decimals: 2
            suffix: ' %'
            onValueChanged: numberChanged(1)
        }

        Shotcut.UndoButton {
            onClicked: centerYSlider.value = numberDefaults[1] * numberScales[1]
        }

        Shotcut.KeyframesButton {
            id: centerYKeyframes

            onToggled: keyframesToggled(1)
        }

        Label {
            text: qsTr('Radius')
            Layout.alignment: Qt.AlignRight
        }

        Shotcut.SliderSpinner {
            id: radiusSlider

            minimumValue: 0
            maximumValue: 100
            decimals: 2
            suffix: ' %'
            onValueChanged: numberChanged(2)
        }

        Shotcut.UndoButton {
            onClicked: radiusSlider.value = numberDefaults[2] * numberScales[2]
        }

        Shotcut.KeyframesButton {
            id: radiusKeyframes

            onToggled: keyframesToggled(2)
        }

        Label {
            text: qsTr('Feather')
            Layout.alignment: Qt.AlignRight
        }

        Shotcut.SliderSpinner {
            id: featherSlider

            minimumValue: 0
            maximumValue: 100
            decimals: 2
            suffix: ' %'
            onValueChanged: numberChanged(3)
        }

        Shotcut.UndoButton {
            onClicked: featherSlider.value = numberDefaults[3] * numberScales[3]
        }

        Shotcut.KeyframesButton {
            id: featherKeyframes

            onToggled: keyframesToggled(3)
        }

        Label {
            text: qsTr('Expand')
            Layout.alignment: Qt.AlignRight
        }

        Shotcut.SliderSpinner {
            id: expandSlider

            minimumValue: 0
            maximumValue: 100
            decimals: 1
            suffix: ' %'
            onValueChanged: numberChanged(4)
        }

        Shotcut.UndoButton {
            onClicked: expandSlider.value = numberDefaults[4] * numberScales[4]
        }

        Shotcut.KeyframesButton {
            id: expandKeyframes

            onToggled: keyframesToggled(4)
        }

        Label {
            text: qsTr('Opacity')
            Layout.alignment: Qt.AlignRight
        }

        Shotcut.SliderSpinner {
            id: opacitySlider

            minimumValue: 0
            maximumValue: 100
            decimals: 1
            suffix: ' %'
            onValueChanged: numberChanged(5)
        }

        Shotcut.UndoButton {
            onClicked: opacitySlider.value = numberDefaults[5] * numberScales[5]
        }

        Shotcut.KeyframesButton {
            id: opacityKeyframes

            onToggled: keyframesToggled(5)
        }

        Label {
            text: qsTr('Scatter')
            Layout.alignment: Qt.AlignRight
        }

        Shotcut.SliderSpinner {
            id: scatterSlider

            minimumValue: 0
            maximumValue: 512
            decimals: 0
            onValueChanged: numberChanged(6)
        }

        Shotcut.UndoButton {
            onClicked: scatterSlider.value = numberDefaults[6] * numberScales[6]
        }

        Shotcut.KeyframesButton {
            id: scatterKeyframes

            onToggled: keyframesToggled(6)
        }

        Label {
            text: qsTr('Full colour')
            Layout.alignment: Qt.AlignRight
        }

        Shotcut.ColorPicker {
            id: color1Picker

            onValueChanged: {
                if (!blockUpdate)
                    filter.set('7', value);
            }
        }

        Shotcut.UndoButton {
            onClicked: color1Picker.value = color1Default
        }

        Item {
            width: 1
        }

        Label {
            text: qsTr('Weak colour')
            Layout.alignment: Qt.AlignRight
        }

        Shotcut.ColorPicker {
            id: color2Picker

            onValueChanged: {
                if (!blockUpdate)
                    filter.set('8', value);
            }
        }

        Shotcut.UndoButton {
            onClicked: color2Picker.value = color2Default
        }

        Item {
            width: 1
        }

        Label {
            text: qsTr('Blend mode')
            Layout.alignment: Qt.AlignRight
        }

        Shotcut.ComboBox {
            id: blendCombo

            implicitWidth: 200
            model: [qsTr('Ring alone'), qsTr('Normal'), qsTr('Add'), qsTr('Stencil multiply'),
                qsTr('Stencil multiply + alpha')]
            onActivated: filter.set('10', blendNames[currentIndex])
        }

        Shotcut.UndoButton {
            onClicked: {
                blendCombo.currentIndex = 1;
                filter.set('10', 'normal');
            }
        }

        Item {
            width: 1
        }

        Item {
            width: 1
        }

        CheckBox {
            id: smoothCheck

            text: qsTr('Smooth')
            onCheckedChanged: {
                if (!blockUpdate)
                    filter.set('9', checked ? 1 : 0);
            }
        }

        Shotcut.UndoButton {
            onClicked: smoothCheck.checked = true
        }

        Item {
            width: 1
        }

        Item {
            Layout.fillHeight: true
        }
    }

    Connections {
        function onChanged() {
            setControls();
        }

        function onInChanged() {
            updateAllNumbers();
        }

        function onOutChanged() {
            updateAllNumbers();
        }

        function onAnimateInChanged() {
            updateAllNumbers();
        }

        function onAnimateOutChanged() {
            updateAllNumbers();
        }

        function onPropertyChanged(name) {
            setControls();
        }

        target: filter
    }

    Connections {
        function onPositionChanged() {
            setControls();
        }

        target: producer
    }
}
